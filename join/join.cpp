#include "join/join.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "core/fileio.h"
#include "core/settings.h"
#include "core/textutil.h"
#include "cut/fragmentoutput.h"
#include "flac/flacjoin.h"
#include "mpeg/mpgfile.h"
#include "mpeg/reservoir.h"
#include "wav/wavjoin.h"

namespace zembrio {

namespace {

enum class TCopyOutcome { Running, Finished, Aborted };

// Far beyond any source (2^40 frames play for nine centuries), far below where the sums of
// frame numbers could overflow.
constexpr int64_t kMarkFrameLimit = int64_t{1} << 40;

// A file's mark is only believed when its numbers can describe a fragment of a source; a
// crafted or damaged one makes the file join as a plain MPEG file.
const TFragmentMark* BelievableMark(const TMPGFile& input) {
  if (!input.SourceHeader() || !input.SourceHeader()->Mark)
    return nullptr;
  const TFragmentMark& mark = *input.SourceHeader()->Mark;
  const bool fits = mark.FirstFrame >= 0 && mark.FirstFrame <= kMarkFrameLimit &&
                    mark.Leading >= 0 && mark.Trailing >= 0;
  return fits ? &mark : nullptr;
}

constexpr int32_t kSingleChannel = 3;

// What must be the same in every input of a frame join.
struct TStreamFormat {
  int32_t Version = 0;
  int32_t Layer = 0;
  int32_t SampleRate = 0;
  int32_t Channels = 0;
};

std::string VersionText(int32_t versionId) {
  return versionId == 0 ? "2.5" : versionId == 2 ? "2" : "1";
}

std::string LayerText(int32_t layerCode) {
  return std::to_string(4 - layerCode);  // codes 3, 2, 1 are layers I, II, III
}

// How format differs from the output's (the first input's), as the other joins say it;
// empty when it does not.
std::string DifferenceOf(const TStreamFormat& format, const TStreamFormat& output) {
  if (format.Version != output.Version)
    return "MPEG " + VersionText(format.Version) + ", la sortie est en MPEG " +
           VersionText(output.Version) + ".";
  if (format.Layer != output.Layer)
    return "Layer " + LayerText(format.Layer) + ", la sortie est en Layer " +
           LayerText(output.Layer) + ".";
  if (format.SampleRate != output.SampleRate)
    return std::to_string(format.SampleRate) + " Hz, la sortie est à " +
           std::to_string(output.SampleRate) + " Hz.";
  if (format.Channels != output.Channels)
    return format.Channels == 1 ? "mono, la sortie est en stéréo."
                                : "stéréo, la sortie est en mono.";
  return {};
}

// One join from the busy state on: checks, question, copy. Errors propagate to RunJoin.
class TJoinRun {
 public:
  TJoinRun(TRunContext& ctx, TJoinList& list, IJoinView& view, const std::string& outputName,
           TJoinMode mode, const TJoinOptions& options)
      : ctx_(ctx),
        list_(list),
        view_(view),
        outputName_(outputName),
        mode_(mode),
        options_(options) {}

  TJoinOutcome Run() {
    ctx_.State.AbortRequested = false;
    ResetRows();
    bool conflict = false;
    total_ = SizePass(conflict);
    if (conflict)
      return TJoinOutcome::Refused;
    if (mode_ == TJoinMode::jmFrames && !StreamPass())
      return TJoinOutcome::Refused;
    if (FileExists(outputName_) && !ctx_.Questions.AskYesNo(outputName_ + kJoinExistsQuestion)) {
      return TJoinOutcome::Refused;
    }
    if (mode_ == TJoinMode::jmFlac)
      return JoinFlac();
    if (mode_ == TJoinMode::jmWav)
      return JoinWav();
    if (mode_ == TJoinMode::jmRaw)
      block_.resize(kJoinBlockSize);
    CreateOutput();
    bool aborted = false;
    for (int i = 0; i < static_cast<int>(list_.size()) && !aborted; ++i)
      aborted = !CopyRow(i);
    ShowJoinProgress(ctx_, true, 1);
    output_->Finish(trim_);
    return aborted ? TJoinOutcome::Aborted : TJoinOutcome::Finished;
  }

 private:
  void ResetRows() {
    ResetJoinStatuses(list_);
    for (int i = 0; i < static_cast<int>(list_.size()); ++i) {
      list_[i].Selected = false;
      view_.RowChanged(i);
    }
  }

  void SetRow(int i, const std::string& status, bool selected) {
    list_[i].Status = status;
    list_[i].Selected = selected;
    view_.RowChanged(i);
  }

  // Sizes every input (an unreadable one raises its error before anything is written) and
  // marks every row that is the output itself, by name in any letter case or as the same
  // file under another spelling, since writing the output would truncate it.
  uint64_t SizePass(bool& conflict) {
    uint64_t total = 0;
    for (int i = 0; i < static_cast<int>(list_.size()); ++i) {
      std::string path = JoinItemPath(list_[i]);
      // A FIFO would block the opening, a device never end.
      if ((FileExists(path) || DirectoryExists(path)) && !IsRegularFile(path))
        throw std::runtime_error("« " + path + " » n'est pas un fichier ordinaire.");
      total += static_cast<uint64_t>(TInputFile(path, 1).Size());
      if (SameTextIgnoringCase(outputName_, path) || SameFile(outputName_, path)) {
        SetRow(i, list_[i].Status, true);
        ctx_.Feedback.ShowMessage(kJoinSameName);
        conflict = true;
      }
    }
    return total;
  }

  // A frame join writes one stream under one header: every input must hold frames, all of
  // the first one's MPEG version, layer, sampling rate and channel count. Refused before
  // anything is written, naming the first input that differs and how.
  bool StreamPass() {
    std::optional<TStreamFormat> first;
    for (const TJoinItem& item : list_) {
      const std::string path = JoinItemPath(item);
      TMPGFile input;
      input.SetKeepSearching([this] {
        ShowJoinProgress(ctx_, false, 0);
        return !ctx_.State.AbortRequested;
      });
      const bool found = input.Open(path, true) || input.StreamFurtherOn();
      if (ctx_.State.AbortRequested)
        return false;
      if (!found) {
        ctx_.Feedback.ShowMessage(path + " : aucune frame MPEG.");
        return false;
      }
      const TStreamFormat format{input.RefVersion(), input.RefLayer(), input.RefSampleRate(),
                                 input.RefChannelMode() == kSingleChannel ? 1 : 2};
      if (!first) {
        first = format;
        continue;
      }
      const std::string difference = DifferenceOf(format, *first);
      if (!difference.empty()) {
        ctx_.Feedback.ShowMessage(path + " : " + difference);
        return false;
      }
    }
    return true;
  }

  // FLAC inputs become one stream: every input is checked before the output is made, and
  // an output that a failure leaves unfinished is removed, never left looking whole.
  TJoinOutcome JoinFlac() {
    std::vector<std::string> paths;
    for (const TJoinItem& item : list_)
      paths.push_back(JoinItemPath(item));
    const std::string refusal = CheckFlacJoinInputs(paths);
    if (!refusal.empty()) {
      ctx_.Feedback.ShowMessage(refusal);
      return TJoinOutcome::Refused;
    }
    MakeOutputFolder();
    int row = 0;
    double rowSize = 0;  // the input being appended, sized once: progress comes every frame
    auto writer = std::make_unique<TFlacJoinWriter>(outputName_, [this, &rowSize](double fraction) {
      ShowJoinProgress(ctx_, false, Fraction(static_cast<int64_t>(fraction * rowSize)));
      return !ctx_.State.AbortRequested;
    });
    try {
      bool aborted = false;
      for (; row < static_cast<int>(list_.size()) && !aborted; ++row) {
        const std::string& path = paths[static_cast<size_t>(row)];
        rowSize = static_cast<double>(TInputFile(path, 1).Size());
        SetRow(row, kJoinReading, true);
        aborted = !writer->Append(path);
        SetRow(row, aborted ? kJoinAborted : kJoinDone, aborted);
        done_ += static_cast<uint64_t>(rowSize);
      }
      writer->Finish();
      ShowJoinProgress(ctx_, true, 1);
      return aborted ? TJoinOutcome::Aborted : TJoinOutcome::Finished;
    } catch (...) {
      FailedRow(row);
      writer.reset();  // its file takes its name when it closes: remove it after that
      DeleteFile(outputName_);
      throw;
    }
  }

  void FailedRow(int row) {
    if (row < static_cast<int>(list_.size()))
      SetRow(row, kJoinPassedOver, true);
  }

  // WAV inputs of one format: their samples one after another, checked before writing.
  TJoinOutcome JoinWav() {
    std::vector<std::string> paths;
    for (const TJoinItem& item : list_)
      paths.push_back(JoinItemPath(item));
    const std::string refusal = CheckWavJoinInputs(paths, outputName_);
    if (!refusal.empty()) {
      ctx_.Feedback.ShowMessage(refusal);
      return TJoinOutcome::Refused;
    }
    MakeOutputFolder();
    auto writer = std::make_unique<TWavJoinWriter>(outputName_, [this](int64_t done, int64_t) {
      ShowJoinProgress(ctx_, false, Fraction(done));
      return !ctx_.State.AbortRequested;
    });
    int row = 0;
    try {
      bool aborted = false;
      for (; row < static_cast<int>(list_.size()) && !aborted; ++row) {
        SetRow(row, kJoinReading, true);
        const TWavAppend appended = writer->Append(paths[static_cast<size_t>(row)]);
        if (appended == TWavAppend::Refused)
          throw TRunError(writer->Refusal());
        aborted = appended == TWavAppend::Aborted;
        SetRow(row, aborted ? kJoinAborted : kJoinDone, aborted);
        done_ = static_cast<uint64_t>(writer->DataSize());
      }
      writer->Finish();
      ShowJoinProgress(ctx_, true, 1);
      return aborted ? TJoinOutcome::Aborted : TJoinOutcome::Finished;
    } catch (...) {
      FailedRow(row);
      writer.reset();  // its file takes its name when it closes: remove it after that
      DeleteFile(outputName_);
      throw;
    }
  }

  void MakeOutputFolder() {
    std::string folder = std::filesystem::path(outputName_).parent_path().string();
    if (!folder.empty())
      ForceDirectories(folder);
  }

  // A name without a folder part lies in the current folder, which exists.
  void CreateOutput() {
    MakeOutputFolder();
    // In raw copy every block goes straight from the input to the file, with no copy
    // through a buffer of the file object.
    TFragmentOptions options;
    options.BufferSize =
        mode_ == TJoinMode::jmRaw ? kJoinBlockSize : TOutputFile::kDefaultBufferSize;
    options.HeaderFrame = mode_ == TJoinMode::jmFrames && options_.HeaderFrame;
    output_ = std::make_unique<TFragmentOutput>(outputName_, std::move(options));
  }

  // Copies row i; false when the join was aborted during it.
  bool CopyRow(int i) {
    SetRow(i, kJoinReading, true);
    bool passedOver = false;
    std::string path = JoinItemPath(list_[i]);
    TCopyOutcome outcome = mode_ == TJoinMode::jmRaw ? CopyRaw(path) : CopyFrames(path, passedOver);
    if (outcome == TCopyOutcome::Aborted) {
      SetRow(i, kJoinAborted, true);
      return false;
    }
    // The row says "fait" only once its bytes have reached the file: a full disk shows here.
    output_->Flush();
    SetRow(i, passedOver ? kJoinPassedOver : kJoinDone, false);
    return true;
  }

  double Fraction(int64_t position) const {
    if (total_ == 0)
      return 0;
    return static_cast<double>(done_ + static_cast<uint64_t>(position)) /
           static_cast<double>(total_);
  }

  TCopyOutcome CopyRaw(const std::string& path) {
    TInputFile input(path, kJoinBlockSize);
    TCopyOutcome outcome = TCopyOutcome::Running;
    while (outcome == TCopyOutcome::Running) {
      ShowJoinProgress(ctx_, false, Fraction(input.Position()));
      if (ctx_.State.AbortRequested) {
        outcome = TCopyOutcome::Aborted;
        break;
      }
      size_t got = input.Read(block_.data(), block_.size());
      output_->File().Write(block_.data(), got);
      if (got < block_.size())
        outcome = TCopyOutcome::Finished;
    }
    done_ += static_cast<uint64_t>(input.Size());
    return outcome;
  }

  TCopyOutcome CopyFrames(const std::string& path, bool& passedOver) {
    TMPGFile input;
    // No first frame in reach: the search already passed over bytes that were not audio.
    // With a fresh header for the joined file, no input's header frame may stay inside it.
    const bool skipHeader = options_.SkipVbrHeader || options_.HeaderFrame;
    passedOver = !input.Open(path, skipHeader) && input.AudioSize() > 0;
    TakeTrim(input);
    const TFragmentMark* mark = BelievableMark(input);
    const std::optional<int64_t> follows = SharedWithPrevious(mark);
    int64_t shared = follows.value_or(0);
    int64_t audioFrames = 0;
    TCopyOutcome outcome = TCopyOutcome::Running;
    // Asked before every header read: the display stays alive and an abort is heard inside
    // a long damaged stretch too.
    const auto stopped = [&] {
      ShowJoinProgress(ctx_, false, Fraction(input.Position()));
      return ctx_.State.AbortRequested;
    };
    while (outcome == TCopyOutcome::Running) {
      if (stopped()) {
        outcome = TCopyOutcome::Aborted;
        break;
      }
      const int64_t skipped = input.SkippedBytes();
      const HeaderResult result = input.NextFrame(stopped);
      passedOver = passedOver || input.SkippedBytes() != skipped;
      switch (result) {
        case HeaderResult::Ok: {
          input.ReadData();
          // A priming frame of a fragment that follows the one before it only repeats bytes
          // of the frames before it, which the joined file holds. After any other file it
          // carries what the next frame needs to decode right.
          const bool priming = IsPrimingFrame(input);
          audioFrames += priming ? 0 : 1;
          if (output_->FramesWritten() > 0 && priming && follows)
            break;
          if (!priming && shared > 0) {  // the previous input's last frames
            --shared;
            break;
          }
          output_->WriteFrame(input);
          break;
        }
        case HeaderResult::EndOfData:
          outcome = TCopyOutcome::Finished;
          break;
        default:  // stopped inside a damaged stretch
          outcome = TCopyOutcome::Aborted;
      }
    }
    done_ += static_cast<uint64_t>(input.FileSize());
    previous_.reset();
    // The frames the mark says this file shares with its neighbours must be among its own.
    if (mark != nullptr && outcome == TCopyOutcome::Finished && !passedOver &&
        int64_t{mark->Leading} + mark->Trailing <= audioFrames)
      previous_ = TPrevious{*mark, mark->FirstFrame + audioFrames};
    return outcome;
  }

  // How many of the input's first audio frames the previous input ended with: only between
  // fragments of one cut that follow each other there, the one's stretch ending where the
  // next one's starts. Nothing when they do not follow each other.
  std::optional<int64_t> SharedWithPrevious(const TFragmentMark* mark) const {
    if (mark == nullptr || !previous_ || previous_->Mark.Source != mark->Source)
      return std::nullopt;
    const int64_t boundary = previous_->End - previous_->Mark.Trailing;
    if (boundary != mark->FirstFrame + mark->Leading)
      return std::nullopt;
    const int64_t shared = previous_->End - mark->FirstFrame;
    if (shared != previous_->Mark.Trailing + mark->Leading)
      return std::nullopt;
    return shared;
  }

  // The joined file starts with the first input's encoder delay and ends with the last
  // one's padding.
  void TakeTrim(const TMPGFile& input) {
    const bool known = input.SourceHeader() && input.SourceHeader()->Lame;
    if (first_)
      trim_.Delay = known ? input.SourceHeader()->Lame->Delay : kDefaultEncoderDelay;
    trim_.Padding = known ? input.SourceHeader()->Lame->Padding : 0;
    first_ = false;
  }

  TRunContext& ctx_;
  TJoinList& list_;
  IJoinView& view_;
  const std::string& outputName_;
  TJoinMode mode_;
  const TJoinOptions options_;
  uint64_t total_ = 0;
  uint64_t done_ = 0;
  std::vector<unsigned char> block_;
  std::unique_ptr<TFragmentOutput> output_;
  TFragmentTrim trim_;
  bool first_ = true;
  // The input before, when it was a fragment of ours copied whole: where it lay in its source.
  struct TPrevious {
    TFragmentMark Mark;
    int64_t End = 0;  // source index after its last audio frame
  };
  std::optional<TPrevious> previous_;
};

}  // namespace

std::string JoinItemPath(const TJoinItem& item) {
  if (item.Folder.empty() || item.Folder.back() == '/')
    return item.Folder + item.Name;
  return item.Folder + '/' + item.Name;
}

void ResetJoinStatuses(TJoinList& list) {
  for (TJoinItem& item : list)
    item.Status = kJoinNotDone;
}

void ShowJoinProgress(TRunContext& ctx, bool force, double fraction) {
  if (!ProgressDue(ctx.State, force))
    return;
  ctx.Feedback.SetProgress(fraction);
  ctx.Feedback.ProcessPendingEvents();
}

TJoinOptions JoinOptionsFromSettings() {
  const TSettings& s = Settings();
  return {s.XINGHEADER, s.SKIPVBRHEADER};
}

TJoinOutcome RunJoin(TRunContext& ctx, TJoinList& list, IJoinView& view,
                     const std::string& outputName, TJoinMode mode, const TJoinOptions& options) {
  if (list.empty()) {
    ctx.Feedback.ShowMessage(kJoinNothingToJoin);
    return TJoinOutcome::Refused;
  }
  if (outputName.empty()) {
    ctx.Feedback.ShowMessage(kJoinNoOutputName);
    return TJoinOutcome::Refused;
  }
  ctx.Feedback.SetIdle(false);
  ctx.Feedback.SetWaitCursor(true);
  ctx.Feedback.ShowStateText("En cours..");
  TJoinOutcome outcome = TJoinOutcome::Failed;
  std::string error;
  try {
    outcome = TJoinRun(ctx, list, view, outputName, mode, options).Run();
  } catch (const std::exception& raised) {
    error = raised.what();
  }
  ctx.Feedback.SetWaitCursor(false);
  ctx.Feedback.SetIdle(true);
  ctx.Feedback.ShowReady();
  ctx.Feedback.ShowInfoText(kJoinFinished);
  if (outcome == TJoinOutcome::Failed)
    ctx.Feedback.ReportError(error);
  return outcome;
}

}  // namespace zembrio
