// Completion of the word at a cursor, shared by every front end that edits
// command lines (the console's Tab key, the notebook kernel's completion
// request): command names and programs where a command goes, variables of the
// dataset in memory, local macros after a backquote, globals after `$`, and
// file names after `using`, `do`, `run`, `include` and `use` (only datasets
// and folders for `use`, `append` and `merge`).
#pragma once
#include <string>
#include <vector>

// Sorted candidates for the word ending at byte `cursor` of `text` (which may
// hold several lines: only the cursor's line decides the context). [start, end)
// are the bytes a chosen candidate replaces. Folders end in '/'.
std::vector<std::string> cmpl_words(const std::string& text, int cursor, int& start, int& end);

// Bytes that belong to a completed word (letters, digits, `_`, UTF-8).
bool cmpl_wordch(char c);
// Bytes that belong to a file name being completed (word bytes and . / - ~).
bool cmpl_filech(char c);
// True for the words after which a command name is expected again
// (`capture`, `quietly`, `noisily`, `nobreak`, `xi`, `{`).
bool cmpl_isprefix(const std::string& w);
