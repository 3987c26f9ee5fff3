#include "cut/process.h"

#include <gtest/gtest.h>

namespace zembrio {
namespace {

TCapturedRun Shell(const std::string& script, const TWaitSlice& onSlice = nullptr) {
  return RunAndCapture({"/bin/sh", "-c", script}, onSlice);
}

TEST(RunAndCaptureTest, ExitCodesAndBothOutputStreams) {
  TCapturedRun run = Shell("echo out; echo err >&2; exit 3");
  EXPECT_EQ(run.ExitCode, 3);
  EXPECT_EQ(run.Output, "out\nerr\n");
  EXPECT_EQ(Shell("kill -9 $$").ExitCode, -1);
  EXPECT_EQ(RunAndCapture({"/nonexistent/cutter", "a"}, nullptr).ExitCode, -1);
}

TEST(RunAndCaptureTest, TheCallerRunsBetweenWaits) {
  int slices = 0;
  TCapturedRun run = Shell("sleep 0.3; echo finished", [&] { ++slices; });
  EXPECT_GE(slices, 1);
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output, "finished\n");
}

}  // namespace
}  // namespace zembrio
