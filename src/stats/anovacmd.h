// What the anova and manova commands share: reading a list of terms and
// the options that class its variables as categorical or continuous.
#pragma once
#include <string>
#include <vector>

#include "stats/anova.h"

struct ParseResult;

// The words of a term list, split at '*' and '|' as well as at blanks.
std::vector<std::string> anv_termwords(const std::string& text);
// The length of the term list at the start of text: up to `if`, `in`, a
// weight or the options.
size_t anv_termsend(const char* text);
// Reads the terms of text into terms (variable abbreviations resolved,
// string variables, repeated variables and terms refused). With errterm,
// `terms / errorterm` is allowed and errterm receives each term's error
// term as AnvModel::errterm holds it; without, '/' is refused. 0 or a code
// (printed).
[[nodiscard]] int anv_parseterms(const std::string& text, std::vector<AnvTerm>& terms,
                                 std::vector<int>* errterm = nullptr);
// Reads the variable-list option name (minimal abbreviation min) of the
// parsed command into vars; *given tells whether it was there. 0 or a code.
[[nodiscard]] int anv_listopt(ParseResult& pr, const char* name, int min, std::vector<int>& vars, bool* given);
// Sorts the terms' variables into categorical and continuous by the
// category() and continuous() lists (model.continuous); 0 or 142, 143, 144,
// 198 (printed).
[[nodiscard]] int anv_classify(AnvModel& model, const std::vector<int>& cat, bool hascat, const std::vector<int>& cont,
                               bool hascont);
// The canonical form of a term's name: the crossed and the nesting
// variables each in sorted order ("b*a|c" and "a*b|c" are one term).
std::string anv_canonterm(const std::string& name);

// The command line of anova and manova as far as they share it.
struct AnvCmd {
  std::string text;                   // the response(s) and the terms as typed
  bool replay = false;                // no terms: show the last results
  bool seq = false, partial = false;  // sequential, partial
  std::vector<int> cat, cont;         // category(), continuous()
  bool hascat = false, hascont = false;
};
// Reads the terms' text, if/in/weights and the shared options of the
// command being run; the caller then reads its own options and calls
// anv_cmdcheck. 0 or a code (printed).
[[nodiscard]] int anv_cmdline(ParseResult& pr, AnvCmd& c);
// Refuses unused options, options with a replay, sequential with partial,
// and pweights and iweights. 0 or a code (printed).
[[nodiscard]] int anv_cmdcheck(ParseResult& pr, const AnvCmd& c);
// Notes (at the note level) on the columns the sweep left out, a line per term.
void anv_dropnotes(const AnvModel& model, const AnvFit& f);
