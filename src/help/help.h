// Help inside the program: help files (`name.zhlp`, ZMCL text) found along the
// ado-path and in the system directory's help folder, topic resolution
// (files, command abbreviations, the alias list, function entries), close-name
// suggestions, and the `chelp`/`man` command behind the `help` ado-file.
#pragma once
#include <string>
#include <vector>

// Extension of help files.
inline constexpr const char* HELP_EXT = "zhlp";

// What a topic resolved to: a whole file, or one entry of a file (the text
// from its `{marker name}` line to the next marker).
struct HelpTarget {
  std::string topic;  // the name the file or entry is known by
  std::string path;   // file to show
  std::string entry;  // marker to show alone; empty for the whole file
};

// The help file topic.zhlp along the ado-path, then in the help folder of the
// system directory; empty when there is none. Reads only the file system.
std::string help_findfile(const std::string& topic);

// Resolves a typed topic: an exact file, the built-in it abbreviates, an alias
// from the help folder's alias list, `name()` for a function entry, `r(#)`
// handled by the caller. 0 with *t filled, or 111 (nothing printed).
[[nodiscard]] int help_resolve(const std::string& typed, HelpTarget* t);

// Known names close to a mistyped topic (edit distance, or the typed word as a
// prefix), best first, at most `max`.
std::vector<std::string> help_suggest(const std::string& typed, size_t max);

// Edit distance with adjacent transpositions counted as one step.
size_t help_distance(const std::string& a, const std::string& b);

// Every topic the help system knows: help files on the ado-path and in the
// help folder, alias names, built-in command names with a handler, ado-files.
std::vector<std::string> help_topics();

// The lines of `path` from the line holding `{marker name}` up to the next
// line that starts a marker or a title; empty when the marker is absent.
std::string help_entry(const std::string& path, const std::string& name);

// The text of `help` alone: the contents page (help/contents.zhlp), with
// every help page of the help folder that it does not link to added to it
// (the function-group pages aside, which the functions page lists): under
// the task its `{* category: Task}` line names when the contents page has
// that task, else under "Other commands". Each entry shows the description
// of the page's title line. Empty when the contents page cannot be read.
std::string help_contents();

// The topics that `{help topic}` links in text name, in order.
std::vector<std::string> help_links(const std::string& text);

void help_bindcommands();
