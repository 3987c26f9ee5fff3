// Runs zembrio-cli (or another program) as a child process, from outside, the way a script
// does: its standard output, standard error and exit status.
#pragma once

#include <string>
#include <vector>

namespace zembrio::test {

struct ProcessResult {
  int Exit = -1;
  std::string Out;
  std::string Err;
};

// Runs program with args, standard input from /dev/null, in folder cwd (when not empty).
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& cwd = "");
// zembrio-cli with args (tests pass --ini to keep the settings of the machine out).
ProcessResult RunCli(const std::vector<std::string>& args, const std::string& cwd = "");
// True when the program is installed (found on PATH).
bool HaveProgram(const std::string& name);

}  // namespace zembrio::test
