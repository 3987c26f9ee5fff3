#include "cut/sourcewalkrun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "framebuilder.h"
#include "recordingfeedback.h"

namespace zembrio::test {
namespace {

namespace fs = std::filesystem;

// A run whose source and walk are scripted by the test; it notes which steps ran, and what
// the run said by the time it concluded.
class TScriptedRun : public TCutListRun {
 public:
  TScriptedRun(RecordingContext& rc, TCPList& list)
      : TCutListRun(rc.Context, list, kCutStateText), recorded_(rc.Feedback) {}

  std::function<void()> OnPrepare;
  std::function<void(TScriptedRun&)> OnWalk;  // none: the source is read to its end
  std::function<void(TScriptedRun&)> OnConclude;
  bool ReportFails = false;
  std::vector<std::string> Steps;
  int32_t OutcomeAtConclude = -1;
  size_t MessagesAtConclude = 0;
  size_t MessagesAtFailure = 0;

  bool Go() { return KeepGoing(); }
  bool Aborted() { return AbortHeard(); }
  void Reached() { outcome_ = RunEndOfData; }
  void Unfinished(int index) { EndUnfinishedRow(index); }

 private:
  void Prepare() override {
    Steps.emplace_back("Prepare");
    if (OnPrepare)
      OnPrepare();
  }
  void Walk() override {
    Steps.emplace_back("Walk");
    if (OnWalk)
      OnWalk(*this);
    else
      Reached();
  }
  void StopWalk() override { Steps.emplace_back("StopWalk"); }
  void Conclude() override {
    Steps.emplace_back("Conclude");
    OutcomeAtConclude = outcome_;
    MessagesAtConclude = recorded_.Messages.size();
    if (OnConclude)
      OnConclude(*this);
  }
  double Progress() const override { return 0.5; }
  std::string ShownPosition() const override { return "ici"; }
  std::vector<std::string> MakeReport() override {
    Steps.emplace_back("MakeReport");
    if (ReportFails) {
      feedback_.ShowMessage("liste incomplète");
      outcome_ = RunFailed;
    }
    return {"rapport"};
  }
  void ShowFinishedMessage() override { feedback_.ShowMessage("fini"); }
  void OnFailure() override { MessagesAtFailure = recorded_.Messages.size(); }
  void ReleaseSource() override { Steps.emplace_back("ReleaseSource"); }

  const RecordingFeedback& recorded_;
};

class SourceWalkRunTest : public ::testing::Test {
 protected:
  SourceWalkRunTest() {
    for (const char* name : {"un", "deux"})
      list.Add().Name = name;
  }

  TRunOutcome Run() { return run.Run(); }

  RecordingContext rc;
  TCPList list;
  TScriptedRun run{rc, list};
};

TEST_F(SourceWalkRunTest, FinishedRunShowsItsReportAndLeavesTheBusyState) {
  EXPECT_EQ(Run(), RunEndOfData);
  EXPECT_EQ(run.Steps, (std::vector<std::string>{"Prepare", "Walk", "StopWalk", "Conclude",
                                                 "MakeReport", "ReleaseSource"}));
  EXPECT_EQ(rc.Feedback.Messages, (std::vector<std::string>{"fini"}));
  EXPECT_EQ(rc.Feedback.Reports, (std::vector<std::vector<std::string>>{{"rapport"}}));
  EXPECT_EQ(rc.Feedback.StateTexts, (std::vector<std::string>{"En cours.."}));
  EXPECT_EQ(rc.Feedback.IdleChanges, (std::vector<bool>{false, true}));
  EXPECT_FALSE(rc.Feedback.WaitCursor);
  EXPECT_EQ(rc.Feedback.ReadyCount, 1);
}

// What an earlier run left (an abort, "overwrite all", its outputs, the rows' reports) does
// not carry over into this one.
TEST_F(SourceWalkRunTest, RunStartsItsRowsAndOutputsAnew) {
  rc.State.AbortRequested = true;
  rc.State.OverwriteAll = true;
  rc.State.RunOutputs = {"/tmp/un.mp3"};
  list[0].Report = {" fait"};
  EXPECT_EQ(Run(), RunEndOfData);
  EXPECT_FALSE(rc.State.OverwriteAll);
  EXPECT_TRUE(rc.State.RunOutputs.empty());
  for (int i = 0; i < list.Count(); ++i)
    EXPECT_EQ(list[i].Report, (std::vector<std::string>{"  non atteint"}));
}

// The run's steps after the walk see the failure settled: the derived runs mark their rows
// by it.
TEST_F(SourceWalkRunTest, RefusalIsSaidBeforeTheRunConcludes) {
  run.OnPrepare = [] { throw TRunError("Source invalide."); };
  run.OnConclude = [](TScriptedRun& r) { r.Unfinished(1); };
  EXPECT_EQ(Run(), RunFailed);
  EXPECT_EQ(run.OutcomeAtConclude, RunFailed);
  EXPECT_EQ(run.MessagesAtConclude, 1u);
  EXPECT_EQ(rc.Feedback.Messages,
            (std::vector<std::string>{"Source invalide.", "Opération avortée."}));
  EXPECT_EQ(run.MessagesAtFailure, 2u);
  EXPECT_EQ(run.Steps,
            (std::vector<std::string>{"Prepare", "StopWalk", "Conclude", "ReleaseSource"}));
  EXPECT_TRUE(rc.Feedback.Reports.empty());
  EXPECT_EQ(rc.Feedback.StatusHistory, (std::vector<std::string>{"2:** erreur**"}));
  EXPECT_EQ(list[1].Report, (std::vector<std::string>{"  non atteint", " ** erreur**"}));
  EXPECT_EQ(rc.Feedback.IdleChanges, (std::vector<bool>{false, true}));
  EXPECT_EQ(rc.Feedback.ReadyCount, 1);
}

TEST_F(SourceWalkRunTest, AbortHeardWhileTheProgressIsShownEndsTheRun) {
  rc.Feedback.OnEvents = [this] { rc.State.AbortRequested = true; };
  bool kept = true;
  run.OnWalk = [&kept](TScriptedRun& r) {
    kept = r.Go();
    if (r.Aborted())
      r.Unfinished(0);
  };
  EXPECT_EQ(Run(), RunAborted);
  EXPECT_FALSE(kept);
  EXPECT_EQ(rc.Feedback.Progress, (std::vector<double>{0.5}));
  EXPECT_EQ(rc.Feedback.InfoTexts, (std::vector<std::string>{"Position source: ici"}));
  EXPECT_EQ(rc.Feedback.Messages, (std::vector<std::string>{"  Abandon ."}));
  EXPECT_EQ(run.MessagesAtFailure, 0u);
  EXPECT_TRUE(rc.Feedback.Reports.empty());
  EXPECT_EQ(rc.Feedback.StatusHistory, (std::vector<std::string>{"1:**    abandon **"}));
  EXPECT_EQ(list[0].Report, (std::vector<std::string>{"  non atteint", " **   abandon  **"}));
}

// A report that cannot be completed (a listing that fails to close) fails the run: it is
// not shown as the report of a finished one.
TEST_F(SourceWalkRunTest, ReportThatFailsTheRunIsNotShown) {
  run.ReportFails = true;
  EXPECT_EQ(Run(), RunFailed);
  EXPECT_EQ(rc.Feedback.Messages,
            (std::vector<std::string>{"liste incomplète", "Opération avortée."}));
  EXPECT_TRUE(rc.Feedback.Reports.empty());
}

TEST(FragmentFolder, IsMadeWithItsParentsAndEndsWithADelimiter) {
  TempDir dir;
  const std::string folder = MakeFragmentFolder(dir.File("a/b"));
  EXPECT_EQ(folder, dir.File("a/b/"));
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(MakeFragmentFolder(folder), folder);
  // Under a file no folder can be made: the first output's error will say so.
  WriteFile(dir.File("f"), Garbage(1));
  EXPECT_EQ(MakeFragmentFolder(dir.File("f/c")), dir.File("f/c/"));
  EXPECT_FALSE(fs::exists(dir.File("f/c")));
}

}  // namespace
}  // namespace zembrio::test
