#include "cut/process.h"

#include <gtest/gtest.h>

namespace zembrio {
namespace {

TCapturedRun Shell(const std::string& script, std::vector<std::string> args = {}) {
  std::vector<std::string> argv = {"/bin/sh", "-c", script, "sh"};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunAndCapture(argv, nullptr);
}

TEST(RunAndCaptureTest, CapturesOutputAndErrorWithTheExitCode) {
  TCapturedRun run = Shell("echo out; echo err >&2; exit 3");
  EXPECT_EQ(run.ExitCode, 3);
  EXPECT_EQ(run.Output, "out\nerr\n");
  EXPECT_EQ(Shell("true").ExitCode, 0);
  EXPECT_EQ(Shell("kill -9 $$").ExitCode, -1);
}

TEST(RunAndCaptureTest, ArgumentsReachTheProgramUntouched) {
  std::vector<std::string> args = {"a b", "it's", "$HOME", "\"q\"", "*", "", "x;y"};
  TCapturedRun run = Shell("printf '[%s]' \"$@\"", args);
  EXPECT_EQ(run.Output, "[a b][it's][$HOME][\"q\"][*][][x;y]");
}

TEST(RunAndCaptureTest, AProgramWritingMoreThanAPipeHoldsDoesNotStall) {
  TCapturedRun run = Shell("head -c 300000 /dev/zero | tr '\\0' x; echo; exit 0");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output, std::string(300000, 'x') + "\n");
}

TEST(RunAndCaptureTest, AProgramThatCannotStartGivesMinusOne) {
  TCapturedRun run = RunAndCapture({"/nonexistent/cutter", "a"}, nullptr);
  EXPECT_EQ(run.ExitCode, -1);
  EXPECT_EQ(RunAndCapture({}, nullptr).ExitCode, -1);
}

TEST(RunAndCaptureTest, TheCallerRunsBetweenWaitsAndCannotStopTheProgram) {
  int slices = 0;
  TCapturedRun run =
      RunAndCapture({"/bin/sh", "-c", "sleep 0.3; echo finished"}, [&] { ++slices; });
  EXPECT_GE(slices, 1);
  EXPECT_EQ(run.Output, "finished\n");
}

TEST(ShellQuoteTest, TheShellReadsBackTheExactText) {
  for (std::string text : {"plain", "with blank", "it's", "''", "$x `y` \\z \"w\"", ""}) {
    EXPECT_EQ(Shell("printf '%s' " + ShellQuote(text)).Output, text) << text;
  }
}

}  // namespace
}  // namespace zembrio
