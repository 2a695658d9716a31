// Placeholder store so the rest links; replaced by the real arena store.
#include "data/store.h"

#include <cmath>
#include <cstring>

DataState ds;
const double misval = std::ldexp(1.0, 1023);
const double misval_z = std::ldexp(1.0, 1023) + 26 * std::ldexp(1.0, 1011);

double misval_k(int k) { return misval + k * std::ldexp(1.0, 1011); }
int missing_code(double x) {
  if (x < misval) return -1;
  return static_cast<int>((x - misval) / std::ldexp(1.0, 1011));
}
double zelta_data(int, long) { return misval; }
void store(int, long, double) {}
void szelta_data(int, long, std::string& out) { out.clear(); }
void sstore(int, long, const char*) {}
void safe_sstore(int, long, const char*) {}
unsigned char* dtaptr(int, long) { return nullptr; }
int typewidth(int type) {
  switch (type) {
    case ST_BYTE: return 1;
    case ST_INT: return 2;
    case ST_LONG: case ST_FLOAT: return 4;
    case ST_DOUBLE: return 8;
    default: return type;
  }
}
const char* typename_of(int) { return "float"; }
int promoted_vartype(int type, double) { return type; }
int addvar(const char*, int) { return 900; }
int addwrkvar(int) { return 900; }
int change_vartype(int, int) { return 0; }
int setobs(long) { return 0; }
void drop_all() {}
void s_updata(int) {}
void chksort() {}
std::string mktmpvn() { return "__000000"; }
bool istmpvn(const std::string&) { return false; }
void ds_reset() { ds = DataState{}; }
