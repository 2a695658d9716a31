// The registry of c() values owned by subsystems: a map from the name to the
// getter its owner registered at start-up.
#include "output/creg.h"

#include <map>

namespace {

std::map<std::string, CGetter>& registry() {
  static std::map<std::string, CGetter> r;  // filled once, at start-up
  return r;
}

}  // namespace

void creg_add(const char* name, CGetter fn) { registry()[name] = fn; }

CGetter creg_find(const std::string& name) {
  auto it = registry().find(name);
  return it == registry().end() ? nullptr : it->second;
}
