// Test doubles of the run feedback and the questions: every call is recorded, and the
// answers to the questions come from queues that a test fills beforehand.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cut/runfeedback.h"

namespace zembrio::test {

class RecordingFeedback : public IRunFeedback {
 public:
  explicit RecordingFeedback(TRunState& state) : state_(state) {}

  void SetIdle(bool idle) override {
    state_.Idle = idle;
    IdleChanges.push_back(idle);
  }
  void ShowReady() override { ReadyCount++; }
  void SetProgress(double fraction) override { Progress.push_back(fraction); }
  void ShowStateText(const std::string& text) override { StateTexts.push_back(text); }
  void ShowInfoText(const std::string& text) override { InfoTexts.push_back(text); }
  void ProcessPendingEvents() override {
    EventsProcessed++;
    if (OnEvents)
      OnEvents();
  }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void ReportError(const std::string& text) override { Errors.push_back(text); }
  void SetWaitCursor(bool on) override { WaitCursor = on; }
  void SetRowStatus(int row, const std::string& status) override {
    RowStatus[row] = status;
    StatusHistory.push_back(std::to_string(row) + ":" + status);
  }
  void ClearRowStatuses() override { RowStatus.clear(); }
  void SelectRow(int row) override { SelectedRows.push_back(row); }
  void RefreshGrid() override { GridRefreshes++; }
  void ShowReport(const std::vector<std::string>& lines) override { Reports.push_back(lines); }

  std::vector<bool> IdleChanges;
  int ReadyCount = 0;
  std::vector<double> Progress;
  std::vector<std::string> StateTexts;
  std::vector<std::string> InfoTexts;
  int EventsProcessed = 0;
  std::function<void()> OnEvents;  // runs inside ProcessPendingEvents (e.g. to abort)
  std::vector<std::string> Messages;
  std::vector<std::string> Errors;
  bool WaitCursor = false;
  std::map<int, std::string> RowStatus;
  std::vector<std::string> StatusHistory;
  std::vector<int> SelectedRows;
  int GridRefreshes = 0;
  std::vector<std::vector<std::string>> Reports;

 private:
  TRunState& state_;
};

class ScriptedQuestions : public IRunQuestions {
 public:
  TOverwriteAnswer AskOverwrite(const std::string& message,
                                const std::string& proposedName) override {
    OverwriteMessages.push_back(message);
    OverwriteNames.push_back(proposedName);
    if (OverwriteAnswers.empty())
      return {TOverwriteChoice::Stop, proposedName};
    TOverwriteAnswer answer = OverwriteAnswers.front();
    OverwriteAnswers.pop_front();
    return answer;
  }
  bool AskYesNo(const std::string& text) override {
    YesNoQuestions.push_back(text);
    if (YesNoAnswers.empty())
      return false;
    bool answer = YesNoAnswers.front();
    YesNoAnswers.pop_front();
    return answer;
  }
  std::optional<std::string> AskSaveFileName(const std::string& folder,
                                             const std::string& proposedName) override {
    SaveQuestions.push_back(folder + "|" + proposedName);
    return SaveAnswer;
  }

  std::deque<TOverwriteAnswer> OverwriteAnswers;
  std::vector<std::string> OverwriteMessages;
  std::vector<std::string> OverwriteNames;
  std::deque<bool> YesNoAnswers;
  std::vector<std::string> YesNoQuestions;
  std::optional<std::string> SaveAnswer;
  std::vector<std::string> SaveQuestions;
};

// A state, a recording feedback and scripted questions wired into one context.
struct RecordingContext {
  TRunState State;
  RecordingFeedback Feedback{State};
  ScriptedQuestions Questions;
  TRunContext Context{State, Feedback, Questions};
};

}  // namespace zembrio::test
