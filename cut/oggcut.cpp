#include "cut/oggcut.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <vector>

#include "core/fileio.h"
#include "core/platform.h"
#include "core/textutil.h"
#include "core/timevalue.h"
#include "cut/overwrite.h"
#include "cut/process.h"
#include "cut/sourcewalkrun.h"
#include "cut/statsreport.h"
#include "tags/vorbiscomments.h"

namespace zembrio {

namespace {

constexpr const char* kFirstOpenMarker = "DEBUT - vcut.exe ---------------------------------";
constexpr const char* kFirstCloseMarker = "FIN - vcut.exe ---------------------------------";
constexpr const char* kLastMarker = "----------------------------------";

// Splits a text at its line breaks (LF, CR LF or CR); a final break adds no empty line.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty())
    lines.push_back(line);
  return lines;
}

// The script runs the fragments' cutter commands, so its readers may also execute it.
void MakeExecutable(const std::string& path) {
  namespace fs = std::filesystem;
  fs::perms perms = fs::status(path).permissions();
  fs::perms exec = fs::perms::none;
  if ((perms & fs::perms::owner_read) != fs::perms::none)
    exec |= fs::perms::owner_exec;
  if ((perms & fs::perms::group_read) != fs::perms::none)
    exec |= fs::perms::group_exec;
  if ((perms & fs::perms::others_read) != fs::perms::none)
    exec |= fs::perms::others_exec;
  fs::permissions(path, exec, fs::perm_options::add);
}

// How one run of the cutter ended.
enum class TStepEnd { Cut, Empty, PastEnd, Failed };

// One run of CutOgg from the moment the cutter is known to exist.
class TOggChain {
 public:
  TOggChain(TRunContext& ctx, TCPList& list, const TOggRun& run)
      : ctx_(ctx), list_(list), run_(run) {}

  // Prepares, cuts and ends with the closing steps, also when an error is raised.
  void Run(TOggResult& result) {
    ctx_.Feedback.SetIdle(false);
    ctx_.Feedback.ShowStateText("En cours..");
    ctx_.Feedback.SetWaitCursor(true);
    try {
      // A destination that cannot be made fails with the log shown, as every failure does.
      Prepare();
      RunSteps(result);
      ctx_.Feedback.SetProgress(1);
      if (run_.BatchMode)
        SaveBatch();
      else if (!anyFailed_ && !ctx_.State.AbortRequested)
        SayUnreachedPoints(ctx_.Feedback, list_);  // the cutter found them past the end
    } catch (...) {
      Close();
      throw;
    }
    Close();
    result.Aborted = ctx_.State.AbortRequested;
  }

 private:
  void Prepare() {
    ctx_.State.AbortRequested = false;
    StartOutputRun(ctx_.State);
    start_ = TClock::now();
    for (int i = 0; i < list_.Count(); ++i)
      list_[i].Report = {kNotReached};
    input_ = run_.SourcePath;
    // An empty destination means the current folder, never the root.
    dest_ = run_.OutputDir;
    if (!dest_.empty() && dest_.back() != '/')
      dest_ += '/';
    rate_ = ReadOggSampleRate(run_.SourcePath);
    // An empty file or a header that says 0 Hz would put every cut at the start.
    if (rate_ <= 0)
      throw TRunError(kOggInvalidSource);
    if (!dest_.empty())
      ForceDirectories(dest_);
  }

  void RunSteps(TOggResult& result) {
    for (int k = 0; k < list_.Count() - 1; ++k) {
      if (!RunStep(k))
        break;
    }
    result.AnyStepFailed = anyFailed_;
  }

  // One step of the chain; false when the chain stops after it.
  bool RunStep(int k) {
    MakeRowCurrent(k + 1);
    const bool last = k == list_.Count() - 2;
    TCutPoint& p = list_[k];
    TCutPoint& q = list_[k + 1];
    std::string first = OutputFor(p);
    ctx_.Feedback.SetRowStatus(k + 1, p.IsSkipped() ? kOggSkipping : kOggWriting);
    int64_t target = PositionAt(q, rate_);
    int64_t offset = target - runningOffset_;
    runningOffset_ = target;
    std::string second = last ? OutputFor(q) : dest_ + NextDummyName(dummyCounter_);
    if (last)
      ctx_.Feedback.SetRowStatus(k + 2, q.IsSkipped() ? kOggSkipping : kOggWriting);
    if (ctx_.State.AbortRequested) {
      AbandonBeforeStep(k, last);
      return false;
    }
    ctx_.Feedback.SetProgress(static_cast<double>(k + 1) / list_.Count());

    cutterRan_ = false;
    exitCode_ = 0;
    captured_.clear();
    if (offset == 0 && !(p.IsSkipped() && q.IsSkipped()))
      return RunEmptyStep(k, last, p, q, first, second);
    if (!(p.IsSkipped() && q.IsSkipped()))
      ConfirmAndCut(first, second, offset, k);
    stepEnd_ = EndOfStep(first, second, offset, !p.IsSkipped(), !last || !q.IsSkipped());
    stepFailed_ = stepEnd_ == TStepEnd::Failed;
    anyFailed_ = anyFailed_ || stepFailed_;
    if (stepFailed_)
      ctx_.Feedback.ShowMessage(StepFailure(k, first, second));
    FinishRow(k + 1, p, first, kFirstOpenMarker, kFirstCloseMarker);
    if (last && stepEnd_ == TStepEnd::PastEnd)
      ctx_.Feedback.SetRowStatus(k + 2, "");  // never reached: its report says so
    else if (last)
      FinishRow(k + 2, q, second, kLastMarker, kLastMarker);
    if (last)
      MakeRowCurrent(list_.Count());
    if (k > 0)
      Delete(previousRemainder_);
    input_ = second;
    previousRemainder_ = second;
    if (stepFailed_ || ctx_.State.AbortRequested) {
      if (cutterRan_ && !run_.BatchMode)
        DeleteFile(second);
      return false;
    }
    return stepEnd_ != TStepEnd::PastEnd;
  }

  // Two points at one time: the first of them starts a fragment without audio, and the
  // input goes on whole to the next step (the cutter refuses a cut at the very start of a
  // file that it wrote itself); on the last step it becomes the last fragment.
  bool RunEmptyStep(int k, bool last, TCutPoint& p, TCutPoint& q, const std::string& first,
                    std::string& second) {
    stepEnd_ = TStepEnd::Empty;
    stepFailed_ = false;
    if (last && !q.IsSkipped()) {
      ConfirmOutputName(ctx_, run_.SourcePath, second);
      if (!ctx_.State.AbortRequested)
        CopyWhole(input_, second);
    }
    FinishRow(k + 1, p, first, kFirstOpenMarker, kFirstCloseMarker);
    if (last) {
      FinishRow(k + 2, q, second, kLastMarker, kLastMarker);
      MakeRowCurrent(list_.Count());
    }
    const bool goOn = !last && !ctx_.State.AbortRequested;
    if (!goOn && k > 0)
      Delete(previousRemainder_);
    return goOn;
  }

  void CopyWhole(const std::string& from, const std::string& to) {
    if (run_.BatchMode) {
      batchLines_.push_back("cp -- " + ShellQuote(from) + " " + ShellQuote(to));
    } else {
      std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    }
  }

  // Said outside the log as well, which a terminal run with --quiet does not show.
  std::string StepFailure(int k, const std::string& first, const std::string& second) const {
    if (exitCode_ != 0) {
      return "vcut a échoué (code " + std::to_string(exitCode_) + ") au fragment " +
             std::to_string(k + 1) + " : " + first;
    }
    return "vcut n'a pas écrit " + (FileExists(first) ? second : first) + " (fragment " +
           std::to_string(k + 1) + ").";
  }

  std::string OutputFor(const TCutPoint& point) {
    return dest_ +
           (point.IsSkipped() ? NextDummyName(dummyCounter_) : OutputFileName(point.Name) + ".ogg");
  }

  void MakeRowCurrent(int row) {
    list_.SortByTime();
    ctx_.Feedback.RefreshGrid();
    ctx_.Feedback.SelectRow(row);
    ctx_.Feedback.ProcessPendingEvents();
  }

  // The abort arrived before anything ran for step k: its rows say so, and the remainder
  // that it would have cut is a temporary file nobody will read any more.
  void AbandonBeforeStep(int k, bool last) {
    ctx_.Feedback.SetRowStatus(k + 1, kOggAborted);
    if (last)
      ctx_.Feedback.SetRowStatus(k + 2, kOggAborted);
    if (k > 0)
      Delete(previousRemainder_);
  }

  void ConfirmAndCut(std::string& first, std::string& second, int64_t offset, int k) {
    ConfirmOutputName(ctx_, run_.SourcePath, first);
    if (!ctx_.State.AbortRequested)
      ConfirmOutputName(ctx_, run_.SourcePath, second);
    if (ctx_.State.AbortRequested)
      return;
    cutterRan_ = true;
    if (run_.BatchMode) {
      batchLines_.push_back(ShellQuote(run_.CutterPath) + " " + ShellQuote(input_) + " " +
                            ShellQuote(first) + " " + ShellQuote(second) + " " +
                            std::to_string(offset));
      return;
    }
    TCapturedRun ran =
        RunAndCapture({run_.CutterPath, input_, first, second, std::to_string(offset)}, [&] {
          ctx_.Feedback.ProcessPendingEvents();
          if (ctx_.State.AbortRequested)
            ctx_.Feedback.SetRowStatus(k + 1, kOggInterrupted);
        });
    captured_ = ran.Output;
    exitCode_ = ran.ExitCode;
  }

  // The cutter ends with 0 without writing its second file when the offset lies past the
  // end of its input: the first holds the whole rest, and the later points are never
  // reached. Otherwise the step is good only when the files that a named fragment or the rest of
  // the chain needs are there; a skipped point's file is thrown away anyway.
  TStepEnd EndOfStep(const std::string& first, const std::string& second, int64_t offset,
                     bool needFirst, bool needSecond) const {
    if (!cutterRan_ || run_.BatchMode)
      return TStepEnd::Cut;
    if (exitCode_ != 0)
      return TStepEnd::Failed;
    const bool hasFirst = FileExists(first);
    const bool hasSecond = FileExists(second);
    if (offset > 0 && hasFirst && !hasSecond)
      return TStepEnd::PastEnd;
    if ((needFirst && !hasFirst) || (needSecond && !hasSecond))
      return TStepEnd::Failed;
    return TStepEnd::Cut;
  }

  // Status and report of the row of point after its step; a skipped point's file goes.
  void FinishRow(int row, TCutPoint& point, const std::string& output, const char* openMarker,
                 const char* closeMarker) {
    std::string status = kOggDone;
    point.Report.clear();
    if (point.IsSkipped()) {
      // Only a file that this step's cutter wrote is ours to delete.
      if (cutterRan_)
        Delete(output);
      status = kOggSkipped;
    } else if (stepEnd_ == TStepEnd::Empty && openMarker == kFirstOpenMarker) {
      point.Report.push_back(kEmptyFragmentLine);
      status = kOggEmpty;
    } else {
      point.Report.push_back(output);
    }
    if (stepFailed_)
      status = kOggError;
    if (ctx_.State.AbortRequested)
      status = kOggAborted;
    ctx_.Feedback.SetRowStatus(row, status);
    point.Report.insert(point.Report.end(), {"", status, ""});
    for (std::string& line : SplitLines(openMarker + std::string("\n") + captured_ + closeMarker)) {
      point.Report.push_back(std::move(line));
    }
    if (!point.IsSkipped() && cutterRan_ && !stepFailed_)
      WriteComments(point, output);
  }

  // The fragment's fields as Vorbis comments, over what the cutter copied from the source.
  // A fragment whose comments cannot be written stays as the cutter left it, and says so.
  void WriteComments(TCutPoint& point, const std::string& output) {
    if (!run_.Tags)
      return;
    const int index = list_.IndexOf(&point);
    const TFragmentTags tags =
        FragmentTagsOf(list_, index, FragmentNumber(list_, index), WrittenFragmentCount(list_));
    if (run_.BatchMode) {
      batchLines_.push_back(CommentCommand(tags, output));
      return;
    }
    try {
      WriteVorbisComments(output, tags);
    } catch (const std::exception& error) {
      point.Report.push_back(error.what());
    }
  }

  // vorbiscomment replaces the fields it sets and keeps the others; -R: the values are UTF-8.
  static std::string CommentCommand(const TFragmentTags& tags, const std::string& output) {
    std::string command = "vorbiscomment -a -R";
    for (const auto& [name, value] : VorbisCommentFields(tags))
      command += " -d " + name + " -t " + ShellQuote(name + "=" + value);
    return command + " " + ShellQuote(output);
  }

  void Delete(const std::string& path) {
    if (path.empty())
      return;  // the chain still reads the source: two points at its start
    if (run_.BatchMode) {
      batchLines_.push_back("rm -f -- " + ShellQuote(path));
    } else {
      DeleteFile(path);
    }
  }

  void SaveBatch() {
    // The dialog takes a relative proposal in the folder it shows: propose a full path.
    const std::string folder = WithTrailingDelimiter(ExpandFileName(dest_.empty() ? "." : dest_));
    std::optional<std::string> chosen =
        ctx_.Questions.AskSaveFileName(folder, folder + kBatchFileName);
    if (!chosen)
      return;
    if (IsSourcePath(run_.SourcePath, *chosen))
      throw TRunError(kSourceNotOverwritable);
    // A failing line stops the script: the lines after it would cut the wrong remainder.
    std::string script = "#!/bin/sh\nset -e\n";
    for (const std::string& line : batchLines_)
      script += line + "\n";
    WriteFileAtomically(*chosen, script);
    MakeExecutable(*chosen);
  }

  void Close() {
    ctx_.Feedback.SetWaitCursor(false);
    if (!run_.BatchMode)
      ctx_.Feedback.ShowReport(LogLines());
    ctx_.Feedback.SetIdle(true);
    ctx_.Feedback.ShowReady();
  }

  std::vector<std::string> LogLines() const {
    std::vector<std::string> log = {
        "Durée proc. : " + FormatElapsed(std::chrono::duration_cast<std::chrono::milliseconds>(
                               TClock::now() - start_)),
        "",
        "Info fich:",
        "---------------------",
        "Nom fich : " + run_.SourcePath,
        "Fréquence: " + std::to_string(rate_) + " Hz"};
    for (int i = 0; i < list_.Count(); ++i) {
      log.push_back("");
      log.push_back("Fragment " + std::to_string(i + 1));
      for (const std::string& text : list_[i].Report) {
        for (std::string& line : SplitLines(text))
          log.push_back(std::move(line));
        if (text.empty())
          log.push_back("");
      }
    }
    return log;
  }

  TRunContext& ctx_;
  TCPList& list_;
  const TOggRun& run_;
  TClock::time_point start_;
  std::string dest_;
  int32_t rate_ = 0;
  int dummyCounter_ = 1;
  std::string input_;
  std::string previousRemainder_;
  int64_t runningOffset_ = 0;
  int exitCode_ = 0;
  bool cutterRan_ = false;  // this step started the cutter (or wrote its command)
  TStepEnd stepEnd_ = TStepEnd::Cut;
  bool stepFailed_ = false;  // this step's cutter failed or left a file unwritten
  bool anyFailed_ = false;
  std::string captured_;
  std::vector<std::string> batchLines_;
};

}  // namespace

std::string NextDummyName(int& counter) {
  return "_dummy_" + std::to_string(counter++) + ".ogg";
}

TOggResult CutOgg(TRunContext& ctx, TCPList& list, const TOggRun& run) {
  list.PurgeNew();
  ctx.Feedback.RefreshGrid();
  ctx.Feedback.ShowInfoText("");
  TOggResult result;
  if (!FileExists(run.CutterPath)) {
    ctx.Feedback.ShowMessage(kCutterMissing);
    return result;
  }
  result.Ran = true;
  try {
    TOggChain(ctx, list, run).Run(result);
  } catch (const std::exception& error) {
    result.Failed = true;
    result.Aborted = ctx.State.AbortRequested;
    ctx.Feedback.ReportError(error.what());
  }
  return result;
}

}  // namespace zembrio
