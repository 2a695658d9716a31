// Vemo object files (.vo) and libraries (.vlib): reading and checking their
// layout, converting code between byte orders, adding members, and the
// autoloader's search. Internal to src/vemo (and the loader's fuzz target).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Fcn;

// One directory entry: the member's name and the offsets of its copies
// (most significant byte first, least significant byte first).
struct VoMember {
  std::string name;
  uint32_t offhilo = 0, offlohi = 0;
};
// The header of a library or object file.
struct VoImage {
  bool hilo = false;   // byte order of the header's integers
  int version = 3;
  uint32_t n = 0, cap = 0;
  std::vector<VoMember> members;
};

// Reads and checks the header of the file's bytes b (path names it in
// messages). 0, or 610/612 with the message printed (unless quiet).
[[nodiscard]] int vo_parse(const std::vector<unsigned char>& b, const std::string& path, VoImage& out, bool quiet);
// Reads member m (the copy in this machine's byte order) into a new compiled
// function; *release gets the compiler release it was made by. 0 or 610.
[[nodiscard]] int vo_readmember(const std::vector<unsigned char>& b, const std::string& path, const VoMember& m,
                                Fcn** fcn, int* release, bool quiet);
// Appends both copies of f to the library image b and records them in its
// header. 0 or a code (message printed): 610, 611, 602, 9777, 9711.
[[nodiscard]] int vo_addmember(std::vector<unsigned char>& b, const Fcn& f);
// The code words of a function in the other byte order; 0, or 9711 with msg.
[[nodiscard]] int vo_revcode(const std::vector<int32_t>& in, std::vector<int32_t>& out, std::string& msg);
// Zeroes the cached lookups of every opfindf before the first opstop or pool.
void vo_clearcaches(std::vector<int32_t>& code);
// True when code read from a file walks cleanly instruction by instruction.
bool vo_codeok(const std::vector<int32_t>& code);
// The file the autoloader would load function name from ("" when none);
// with load, the function itself (not yet stored).
std::string vo_where(const std::string& name, Fcn** load);
// Loads and stores function name from the libraries or a .vo file; nullptr
// when it is found nowhere.
Fcn* vemo_autoload(const char* name);
// Frees the autoloaded functions used longest ago (and held by nothing
// else) while their code exceeds `set vemocache` (after each line).
void vemo_enforcecache();
// The statement clock's wrap: back to 2, every cached lookup cleared and
// every autoloaded function stamped as used at 1.
void vemo_clockreset();
void vofile_bindcommands();
// Closes every Vemo file handle (`vemo clear`).
void vemo_closefiles();
// The autoloader's library search list and the library command's mode.
struct VofileState {
  std::string searchlist;     // the libraries to search, separated by ;
  bool indexed = false;       // searchlist is built (else built before the next lookup)
  bool officialmode = false;  // `vlib OFFICIAL`: libraries named lvemo* may be written
};
extern VofileState vos;
// Forgets the library search list (built again before the next lookup) and
// leaves the mode that writes official libraries (reset-all).
void vofile_reset();
