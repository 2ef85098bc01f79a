#pragma once
// vistrel-tool info FILE: the header facts of one movie and the texts its status panes would show.

#include <iosfwd>
#include <string>

namespace vistrel::tools {

// Exit codes shared by the subcommands.
constexpr int kExitOk = 0;
constexpr int kExitNotMovie = 1; // also: wrong usage
constexpr int kExitUnreadable = 2;

// Prints "Name: value" lines to out; a one-line message to err on failure. Returns the exit code:
// 0 for a movie, 1 for a file that is not a movie, 2 for one that cannot be read or inflated.
int infoCommand(const std::string &fileName, std::ostream &out, std::ostream &err);

} // namespace vistrel::tools
