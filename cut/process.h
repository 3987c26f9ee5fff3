// Running an external program (the Ogg cutter) without a shell, its standard output and
// error captured, while the caller keeps its window alive between waits.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zembrio {

struct TCapturedRun {
  // The program's exit code; -1 when it could not be started or did not exit normally.
  int ExitCode = -1;
  // Standard output and error interleaved as written, in the locale's encoding.
  std::string Output;
};

// Called once per 50 ms slice in which the program has not ended yet.
using TWaitSlice = std::function<void()>;

// Starts argv[0] (a path, not searched on PATH) with argv as its arguments, no shell in
// between, standard input from /dev/null. Reads the pipe while the program runs, so a
// program writing more than a pipe holds never stalls. The program is never killed here.
TCapturedRun RunAndCapture(const std::vector<std::string>& argv, const TWaitSlice& onSlice);

// The argument as one word for a POSIX shell: single quotes, a ' inside as '\''.
std::string ShellQuote(const std::string& argument);

}  // namespace zembrio
