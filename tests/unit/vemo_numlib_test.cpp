// The numeric, statistical and introspection built-in families: each row
// is hooked into the built-in table with its implementation, and each has
// an entry in the Vemo help.
#include <gtest/gtest.h>

#include <string>

#include "help/help.h"
#include "interp/interp.h"
#include "vemo/lib.h"
#include "vemo/vm.h"

namespace {

TEST(VemoNumLib, EveryRowIsInTheTableWithItsImplementation) {
  for (LibRows f : {lib_num_rows(), lib_svy_rows(), lib_sys_rows()})
    for (size_t k = 0; k < f.n; ++k) {
      const int idx = builtin_find(f.rows[k].name);
      ASSERT_GE(idx, 0) << f.rows[k].name;
      const Builtin& b = builtins()[static_cast<size_t>(idx)];
      EXPECT_EQ(b.fn, f.rows[k].fn) << f.rows[k].name;
      EXPECT_EQ(b.minargs, f.rows[k].minargs) << f.rows[k].name;
      EXPECT_EQ(b.maxargs, f.rows[k].maxargs) << f.rows[k].name;
    }
}

TEST(VemoNumLib, EveryRowHasHelp) {
  const std::string saved = interp.sysdir;
  interp.sysdir = std::string(ZELTA_SOURCE_DIR) + "/system/";
  std::string missing;
  for (LibRows f : {lib_num_rows(), lib_svy_rows(), lib_sys_rows()})
    for (size_t k = 0; k < f.n; ++k) {
      HelpTarget t;
      if (help_resolve(std::string(f.rows[k].name) + "()", &t) != 0) missing += std::string(" ") + f.rows[k].name;
    }
  interp.sysdir = saved;
  EXPECT_EQ(missing, "");
}

}  // namespace
