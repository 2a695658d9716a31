// Command-line pieces shared by the file commands: the split at the first
// comma outside quotes and parentheses, the option list, the `using` word among the words
// before the comma, and a file name with a default extension.
#include <cctype>
#include <string>

#include "data/store.h"
#include "files/files.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"

void fa_splitcomma(const std::string& line, std::string& before, std::string& after, bool* hascomma) {
  // A comma inside quotes or parentheses (an `if` such as mod(x, 3) == 0)
  // is not the one before the options.
  bool inq = false;
  int depth = 0;
  size_t i = 0;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') inq = !inq;
    if (inq) continue;
    if (c == '(') ++depth;
    else if (c == ')' && depth > 0) --depth;
    else if (c == ',' && depth == 0) break;
  }
  *hascomma = i < line.size();
  before = line.substr(0, i);
  after = *hascomma ? line.substr(i + 1) : "";
  while (!before.empty() && before.back() == ' ') before.pop_back();
  while (!before.empty() && before.front() == ' ') before.erase(0, 1);
}

int fa_readopts(ParseResult& pr, const std::string& text) {
  settok(text.c_str());
  return proption(pr);
}

int fa_cmdline(ParseResult& pr, std::string& before) {
  std::string after;
  bool hascomma;
  fa_splitcomma(wheretok(), before, after, &hascomma);
  return fa_readopts(pr, after);
}

bool fa_hasusing(const std::string& before, size_t* at) {
  bool inq = false;
  for (size_t i = 0; i + 5 <= before.size(); ++i) {
    if (before[i] == '"') inq = !inq;
    if (inq) continue;
    if (before.compare(i, 5, "using") == 0 && (i == 0 || before[i - 1] == ' ') &&
        (i + 5 == before.size() || before[i + 5] == ' ' || before[i + 5] == '"')) {
      *at = i;
      return true;
    }
  }
  return false;
}

std::string fa_defext(const std::string& fn, const char* ext) {
  size_t slash = fn.rfind('/');
  size_t dot = fn.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return fn + ext;
  return fn;
}

int fa_filename(const std::string& text, std::string& fn, const char* ext) {
  settok(text.c_str());
  if (gettokfn(fn)) return required("filename");
  if (fn.empty()) return required("filename");
  const char* rest = peektok_chr();
  if (*rest) return errmsgf(RC_SYNTAX, "invalid '%s'\n", gettok(prsestd));
  if (ext) fn = fa_defext(fn, ext);
  return 0;
}

int fa_lastfile(ParseResult& pr, const std::string& before, const char* ext, bool replaces, bool clear,
                std::string& fn) {
  if (int rc = chkopt(pr)) return rc;
  if (int rc = fa_filename(before, fn, ext)) return rc;
  if (replaces && ds.updata && !clear) return error(RC_DATALOST);
  return 0;
}

std::string fa_varname(const std::string& h) {
  std::string n;
  for (char c : h) {
    unsigned char u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || c == '_') n.push_back(c);
    else if (c == ' ' || c == '-' || c == '.' || c == '/') n.push_back('_');
  }
  while (n.size() > 1 && n.back() == '_') n.pop_back();
  if (!n.empty() && std::isdigit(static_cast<unsigned char>(n[0]))) n.insert(n.begin(), '_');
  if (n.size() > 32) n.resize(32);
  if (n == "_" || n == "_all" || n == "_n" || n == "_N" || n == "_b" || n == "_cons" || n == "_pi" ||
      n == "_rc" || n == "_se" || n == "_coef" || n == "_skip" || n == "in" || n == "if" || n == "using" ||
      n == "with" || n == "byte" || n == "int" || n == "long" || n == "float" || n == "double")
    return "";
  return n;
}
