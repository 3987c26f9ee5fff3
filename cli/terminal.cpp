#include "cli/terminal.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "cli/exitcode.h"

namespace zembrio::cli {
namespace {

volatile std::sig_atomic_t gInterrupts = 0;

extern "C" void OnInterrupt(int) {
  gInterrupts = gInterrupts + 1;
  // A second request does not wait for the operation to notice the first one.
  if (gInterrupts > 1)
    _exit(static_cast<int>(TExitCode::Aborted));
}

}  // namespace

void InstallInterruptHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool InterruptRequested() {
  return gInterrupts > 0;
}

TTerminal::TTerminal(TRunState& state, TOverwritePolicy policy, bool quiet, std::ostream& out,
                     std::ostream& err)
    : state_(state),
      policy_(policy),
      quiet_(quiet),
      out_(out),
      err_(err),
      progressOnTerminal_(!quiet && &err == &std::cerr && isatty(STDERR_FILENO)) {}

void TTerminal::SetIdle(bool idle) {
  state_.Idle = idle;
}

void TTerminal::ShowReady() {
  ClearProgressLine();
  progress_ = 0;
  infoText_.clear();
}

void TTerminal::SetProgress(double fraction) {
  progress_ = fraction;
  DrawProgressLine();
}

void TTerminal::ShowStateText(const std::string&) {}

void TTerminal::ShowInfoText(const std::string& text) {
  infoText_ = text;
  DrawProgressLine();
}

void TTerminal::ProcessPendingEvents() {
  if (InterruptRequested())
    state_.AbortRequested = true;
}

void TTerminal::ShowMessage(const std::string& text) {
  ClearProgressLine();
  err_ << text << '\n';
}

void TTerminal::ReportError(const std::string& text) {
  ClearProgressLine();
  err_ << ReportErrorText(text) << '\n';
}

void TTerminal::SetRowStatus(int row, const std::string& status) {
  if (row < 0)
    return;
  if (rowStatus_.size() <= static_cast<size_t>(row))
    rowStatus_.resize(row + 1);
  rowStatus_[row] = status;
}

void TTerminal::ShowReport(const std::vector<std::string>& lines) {
  ClearProgressLine();
  if (quiet_)
    return;
  for (const std::string& line : lines)
    out_ << line << '\n';
  out_.flush();
}

TOverwriteAnswer TTerminal::AskOverwrite(const std::string& message,
                                         const std::string& proposedName) {
  switch (policy_) {
    case TOverwritePolicy::All:
      return {TOverwriteChoice::OverwriteAll, proposedName};
    case TOverwritePolicy::Never:
      refusedByPolicy_ = true;
      ClearProgressLine();
      err_ << message << " (--overwrite never: rien n'est écrasé)\n";
      return {TOverwriteChoice::Stop, proposedName};
    case TOverwritePolicy::Ask:
      break;
  }
  ClearProgressLine();
  err_ << "Avertissement: " << message << '\n';
  while (true) {
    const std::string answer = AskLine("[e]craser, écraser [t]out, [r]enommer, [i]nterrompre ? ");
    if (answer == "e")
      return {TOverwriteChoice::Overwrite, proposedName};
    if (answer == "t")
      return {TOverwriteChoice::OverwriteAll, proposedName};
    if (answer == "i" || answer.empty())
      return {TOverwriteChoice::Stop, proposedName};
    if (answer == "r") {
      const std::string name = AskLine("Enregistrer sous: ");
      if (!name.empty())
        return {TOverwriteChoice::SaveAs, name};
    }
  }
}

bool TTerminal::AskYesNo(const std::string& text) {
  switch (policy_) {
    case TOverwritePolicy::All:
      return true;
    case TOverwritePolicy::Never:
      refusedByPolicy_ = true;
      ClearProgressLine();
      err_ << text << " non (--overwrite never)\n";
      return false;
    case TOverwritePolicy::Ask:
      break;
  }
  ClearProgressLine();
  const std::string answer = AskLine(text + " [o/N] ");
  return answer == "o" || answer == "O" || answer == "oui";
}

std::optional<std::string> TTerminal::AskSaveFileName(const std::string&, const std::string&) {
  return batchFile_;
}

void TTerminal::RowChanged(int index) {
  if (quiet_ || joinRows_ == nullptr || index < 0 ||
      static_cast<size_t>(index) >= joinRows_->size()) {
    return;
  }
  const TJoinItem& item = (*joinRows_)[index];
  if (item.Status == "-" || item.Status == "lecture...")
    return;
  ClearProgressLine();
  err_ << item.Status << "\t" << JoinItemPath(item) << '\n';
}

void TTerminal::DrawProgressLine() {
  if (!progressOnTerminal_)
    return;
  const int percent = static_cast<int>(ProgressBarPosition(progress_) / 10);
  err_ << "\r\033[K" << percent << "% " << infoText_ << std::flush;
  progressShown_ = true;
}

void TTerminal::ClearProgressLine() {
  if (!progressShown_)
    return;
  err_ << "\r\033[K" << std::flush;
  progressShown_ = false;
}

std::string TTerminal::AskLine(const std::string& prompt) {
  err_ << prompt << std::flush;
  std::string line;
  if (!std::getline(std::cin, line))
    return "";
  return line;
}

}  // namespace zembrio::cli
