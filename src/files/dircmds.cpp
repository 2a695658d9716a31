// Files and folders from the command line: cd (chdir), pwd, dir (ls), erase,
// copy (cp), cat (type), mkdir and rmdir. Names may be quoted and may start
// with `~` for the home folder. File failures use the file messages (601 not
// found, 602 already exists, 603 could not be opened, 608 read-only, 693 I/O
// error on write); folders get messages of their own with the same codes.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/atomicfile.h"
#include "files/files.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

// name with a leading `~` (alone or before a slash) replaced by the home folder.
std::string fs_expand(const std::string& name) {
  if (name.empty() || name[0] != '~' || (name.size() > 1 && name[1] != '/')) return name;
  const char* home = std::getenv("HOME");
  if (!home || !*home) return name;
  return std::string(home) + name.substr(1);
}

// The command's words before the comma as names (quotes removed, `~`
// expanded) and the options after it, read into the shared parser. At most
// `most` names; 0 or a printed code.
int fs_args(ParseResult& pr, std::vector<std::string>& names, size_t most, bool* hasopts) {
  std::string before, after;
  bool comma = false;
  fa_splitcomma(peektok_chr(), before, after, &comma);
  *hasopts = comma;
  names.clear();
  settok(before.c_str());
  while (*peektok_chr()) {
    std::string fn;
    if (gettokfn(fn)) break;
    if (names.size() == most) return errmsgf(RC_SYNTAX, "invalid '%s'\n", fn.c_str());
    names.push_back(fs_expand(fn));
  }
  if (comma)
    if (int rc = fa_readopts(pr, after)) return rc;
  return 0;
}

// The options a command allows were read with findopt: any other is an error.
int fs_noopts(ParseResult& pr, bool hasopts) {
  if (!hasopts) return 0;
  return chkopt(pr);
}

// The names of a command that takes no options, at most `most` of them.
int fs_plain(std::vector<std::string>& names, size_t most) {
  ParseResult pr;
  bool hasopts = false;
  if (int rc = fs_args(pr, names, most, &hasopts)) return rc;
  return fs_noopts(pr, hasopts);
}

// The one name of a command that takes one and no options; without it,
// "<what> required".
int fs_onename(std::string& name, const char* what) {
  std::vector<std::string> names;
  if (int rc = fs_plain(names, 1)) return rc;
  if (names.empty()) return required(what);
  name = names[0];
  return 0;
}

bool isdir(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string basename_of(const std::string& p) {
  std::string s = p;
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  size_t slash = s.rfind('/');
  return slash == std::string::npos ? s : s.substr(slash + 1);
}

// pwd: displays the working folder.
int cmd_pwd(int) {
  std::vector<std::string> names;
  if (int rc = fs_plain(names, 0)) return rc;
  char buf[4096];
  if (!::getcwd(buf, sizeof buf)) return errmsgf(RC_FILEOPEN, "working folder cannot be determined\n");
  spout21f("%s\n", buf);
  return 0;
}

// cd [folder]: changes the working folder (to the home folder without one).
int cmd_cd(int) {
  std::vector<std::string> names;
  if (int rc = fs_plain(names, 1)) return rc;
  std::string to;
  if (names.empty()) {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return errmsgf(RC_FILENOTFOUND, "home folder not known (HOME is not set)\n");
    to = home;
  } else {
    to = names[0];
  }
  struct stat st;
  if (::stat(to.c_str(), &st) != 0) return errmsgf(RC_FILENOTFOUND, "folder %s not found\n", to.c_str());
  if (!S_ISDIR(st.st_mode)) return errmsgf(RC_FILEOPEN, "%s is not a folder\n", to.c_str());
  if (::chdir(to.c_str()) != 0) return errmsgf(RC_FILEOPEN, "folder %s could not be opened\n", to.c_str());
  return 0;
}

struct Entry {
  std::string name;  // as listed: the last part, with a slash after a folder
  bool dir = false;
  long long size = 0;
  time_t mtime = 0;
};

// The entries of folder `dir` whose names match `pattern` (hidden names only
// when the pattern itself starts with a dot), sorted by name.
int listdir(const std::string& dir, const std::string& pattern, std::vector<Entry>& out) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return errmsgf(RC_FILENOTFOUND, "folder %s not found\n", dir.c_str());
  while (dirent* e = ::readdir(d)) {
    const char* n = e->d_name;
    if (!std::strcmp(n, ".") || !std::strcmp(n, "..")) continue;
    if (n[0] == '.' && pattern[0] != '.') continue;
    if (::fnmatch(pattern.c_str(), n, 0) != 0) continue;
    Entry en;
    en.name = n;
    struct stat st;
    std::string full = dir == "." ? std::string(n) : dir + "/" + n;
    if (::stat(full.c_str(), &st) == 0) {
      en.dir = S_ISDIR(st.st_mode);
      en.size = static_cast<long long>(st.st_size);
      en.mtime = st.st_mtime;
    }
    if (en.dir) en.name += '/';
    out.push_back(std::move(en));
  }
  ::closedir(d);
  std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return 0;
}

// dir [folder | pattern] [, wide]: lists files with their sizes and times,
// or (wide) only their names, across the line.
int cmd_dir(int) {
  ParseResult pr;
  std::vector<std::string> names;
  bool hasopts = false;
  if (int rc = fs_args(pr, names, 1, &hasopts)) return rc;
  const bool wide = hasopts && findopt(pr, "wide", 1, 0) == 1;
  if (int rc = fs_noopts(pr, hasopts)) return rc;
  std::string dir = ".", pattern = "*";
  if (!names.empty()) {
    const std::string& a = names[0];
    if (isdir(a)) {
      dir = a;
    } else {
      size_t slash = a.rfind('/');
      if (slash == std::string::npos) {
        pattern = a;
      } else {
        dir = slash == 0 ? "/" : a.substr(0, slash);
        pattern = a.substr(slash + 1);
      }
      if (pattern.find_first_of("*?[") == std::string::npos) {
        struct stat st;
        if (::stat(a.c_str(), &st) != 0) return fierr(RC_FILENOTFOUND, a.c_str());
      }
    }
  }
  std::vector<Entry> list;
  if (int rc = listdir(dir, pattern, list)) return rc;
  if (wide) {
    size_t w = 0;
    for (const Entry& e : list) w = std::max(w, e.name.size());
    w += 2;
    const size_t per = std::max<size_t>(1, static_cast<size_t>(std::max(1, out.linesize - 2)) / w);
    std::string line;
    for (size_t i = 0; i < list.size(); ++i) {
      std::string cell = list[i].name;
      const bool last = (i + 1) % per == 0 || i + 1 == list.size();
      if (!last) cell.resize(w, ' ');
      line += "  " + cell;
      if (last) {
        spout21f("%s\n", line.c_str());
        line.clear();
      }
    }
    return 0;
  }
  for (const Entry& e : list) {
    if (stopflag) return RC_BREAK;
    char when[32] = "";
    struct tm tmv;
    if (localtime_r(&e.mtime, &tmv)) std::strftime(when, sizeof when, "%d %b %Y %H:%M", &tmv);
    if (e.dir)
      spout21f("  %10s  %s  %s\n", "<folder>", when, e.name.c_str());
    else
      spout21f("  %10lld  %s  %s\n", e.size, when, e.name.c_str());
  }
  return 0;
}

// erase filename: removes one file.
int cmd_erase(int) {
  std::string fn;
  if (int rc = fs_onename(fn, "filename")) return rc;
  struct stat st;
  if (::lstat(fn.c_str(), &st) != 0) return fierr(RC_FILENOTFOUND, fn.c_str());
  if (S_ISDIR(st.st_mode)) return errmsgf(RC_FILEOPEN, "%s is a folder; use rmdir to remove it\n", fn.c_str());
  if (::unlink(fn.c_str()) != 0) return fierr(errno == EACCES || errno == EPERM || errno == EROFS ? RC_READONLY : RC_WRITE, fn.c_str());
  return 0;
}

// copy from to [, replace]: copies a file; a folder as `to` receives the file
// under its own name. The copy is written beside the target and renamed over
// it, so a failed copy leaves the target as it was.
int cmd_copy(int) {
  ParseResult pr;
  std::vector<std::string> names;
  bool hasopts = false;
  if (int rc = fs_args(pr, names, 2, &hasopts)) return rc;
  const bool replace = hasopts && findopt(pr, "replace", 7, 0) == 1;
  if (int rc = fs_noopts(pr, hasopts)) return rc;
  if (names.size() < 2) return required(names.empty() ? "filename" : "destination filename");
  const std::string& from = names[0];
  std::string to = names[1];
  struct stat sst;
  if (::stat(from.c_str(), &sst) != 0) return fierr(RC_FILENOTFOUND, from.c_str());
  if (S_ISDIR(sst.st_mode)) return errmsgf(RC_FILEOPEN, "%s is a folder; only files can be copied\n", from.c_str());
  if (isdir(to)) {
    if (to.back() != '/') to += '/';
    to += basename_of(from);
  }
  struct stat dst;
  if (::stat(to.c_str(), &dst) == 0) {
    if (sst.st_dev == dst.st_dev && sst.st_ino == dst.st_ino)
      return errmsgf(RC_COPY, "%s and %s are the same file\n", from.c_str(), to.c_str());
    if (!replace) return fierr(RC_FILEEXISTS, to.c_str());
  }
  int in = ::open(from.c_str(), O_RDONLY);
  if (in < 0) return fierr(RC_FILEOPEN, from.c_str());
  AtomicFile f;
  if (int rc = af_open(f, to)) {
    ::close(in);
    return fierr(rc, to.c_str());
  }
  std::vector<char> buf(size_t{1} << 20);
  int rc = 0;
  while (true) {
    ssize_t k = ::read(in, buf.data(), buf.size());
    if (k < 0 && errno == EINTR) continue;
    if (k < 0) {
      rc = fierr(RC_READ, from.c_str());
      break;
    }
    if (k == 0) break;
    if (af_write(f, buf.data(), static_cast<size_t>(k))) {
      rc = fierr(RC_WRITE, to.c_str());
      break;
    }
    if (stopflag) {
      rc = RC_BREAK;
      break;
    }
  }
  ::close(in);
  if (rc) {
    af_abort(f);
    return rc;
  }
  if (af_commit(f)) return fierr(RC_WRITE, to.c_str());
  (void)::chmod(to.c_str(), sst.st_mode & 07777);
  return 0;
}

// cat filename: displays a text file as it is.
int cmd_cat(int) {
  std::string fn;
  if (int rc = fs_onename(fn, "filename")) return rc;
  struct stat st;
  if (::stat(fn.c_str(), &st) != 0) return fierr(RC_FILENOTFOUND, fn.c_str());
  if (S_ISDIR(st.st_mode)) return errmsgf(RC_FILEOPEN, "%s is a folder\n", fn.c_str());
  std::FILE* fp = std::fopen(fn.c_str(), "rb");
  if (!fp) return fierr(RC_FILEOPEN, fn.c_str());
  std::string line;
  char buf[65536];
  size_t k;
  bool endsnl = true;
  while ((k = std::fread(buf, 1, sizeof buf - 1, fp)) > 0) {
    // A line break of another system (CR LF) shows as one.
    std::string chunk;
    chunk.reserve(k);
    for (size_t i = 0; i < k; ++i)
      if (!(buf[i] == '\r' && i + 1 < k && buf[i + 1] == '\n') && buf[i] != '\0') chunk += buf[i];
    if (chunk.empty()) continue;
    spout21(chunk.c_str());
    endsnl = chunk.back() == '\n';
    if (stopflag) {
      std::fclose(fp);
      return RC_BREAK;
    }
  }
  const bool bad = std::ferror(fp) != 0;
  std::fclose(fp);
  if (!endsnl) spout21("\n");
  if (bad) return fierr(RC_READ, fn.c_str());
  return 0;
}

// mkdir folder: makes one folder.
int cmd_mkdir(int) {
  std::string d;
  if (int rc = fs_onename(d, "folder name")) return rc;
  if (::mkdir(d.c_str(), 0777) == 0) return 0;
  if (errno == EEXIST) return errmsgf(RC_FILEEXISTS, "folder %s already exists\n", d.c_str());
  if (errno == ENOENT) return errmsgf(RC_WRITE, "could not make folder %s: its parent folder does not exist\n", d.c_str());
  return errmsgf(RC_WRITE, "could not make folder %s: %s\n", d.c_str(), std::strerror(errno));
}

// rmdir folder: removes one empty folder.
int cmd_rmdir(int) {
  std::string d;
  if (int rc = fs_onename(d, "folder name")) return rc;
  struct stat st;
  if (::stat(d.c_str(), &st) != 0) return errmsgf(RC_FILENOTFOUND, "folder %s not found\n", d.c_str());
  if (!S_ISDIR(st.st_mode)) return errmsgf(RC_FILEOPEN, "%s is not a folder; use erase to remove a file\n", d.c_str());
  if (::rmdir(d.c_str()) == 0) return 0;
  if (errno == ENOTEMPTY || errno == EEXIST)
    return errmsgf(RC_WRITE, "could not remove folder %s: it is not empty\n", d.c_str());
  return errmsgf(RC_WRITE, "could not remove folder %s: %s\n", d.c_str(), std::strerror(errno));
}

}  // namespace

void files_binddircmds() {
  cmdbind("pwd", cmd_pwd);
  cmdbind("cd", cmd_cd);
  cmdbind("chdir", cmd_cd);
  cmdbind("dir", cmd_dir);
  cmdbind("ls", cmd_dir);
  cmdbind("erase", cmd_erase);
  cmdbind("copy", cmd_copy);
  cmdbind("cp", cmd_copy);
  cmdbind("cat", cmd_cat);
  cmdbind("type", cmd_cat);
  cmdbind("mkdir", cmd_mkdir);
  cmdbind("rmdir", cmd_rmdir);
}
