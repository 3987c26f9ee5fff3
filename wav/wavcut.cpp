#include "wav/wavcut.h"

#include <algorithm>
#include <memory>

#include "core/fileio.h"
#include "core/platform.h"
#include "core/textutil.h"
#include "cut/oggcut.h"
#include "cut/overwrite.h"
#include "cut/sourcewalkrun.h"
#include "cut/statsreport.h"
#include "wav/wavfile.h"
#include "wav/wavreport.h"
#include "wav/wavtags.h"
#include "wav/wavwriter.h"

namespace zembrio {

namespace {

class TWavCutter : public TCutListRun {
 public:
  TWavCutter(TRunContext& ctx, TCPList& list, const TWavCutRun& run)
      : TCutListRun(ctx, list, kCutStateText), run_(run) {}

 private:
  void Prepare() override;
  // Cuts the tracks one after the other.
  void Walk() override;
  // A track that was being written keeps what it holds, with a header that says so.
  void StopWalk() override;
  // The first sample of each point's stretch; a point before the previous one starts
  // where that one does.
  std::vector<int64_t> Starts() const;
  void CutPoint(int index, int64_t start, int64_t end);
  void WriteTrack(int index, std::string name, int64_t start, int64_t end);
  TWavOutputOptions OutputOptions(int index, int64_t start, int64_t end);
  void CopySamples(TWavWriter& writer, int64_t start, int64_t end);
  void EndCurrentRow(const char* reportLine, const char* status) {
    EndRow(row_ - 1, reportLine, status);
  }
  double Progress() const override;
  std::string ShownPosition() const override;
  void SetStatus(const std::string& status) { feedback_.SetRowStatus(row_, status); }
  std::vector<std::string> MakeReport() override;
  void OnFailure() override;

  const TWavCutRun& run_;
  std::string outputDir_;
  std::unique_ptr<TWavFile> source_;
  std::unique_ptr<TInputFile> input_;
  std::unique_ptr<TWavTagSource> tags_;  // ID3V2TAG 1: the fragment's fields put in
  std::unique_ptr<TWavWriter> writer_;   // the track being written
  TCutPoint* current_ = nullptr;
  int row_ = 0;
  int64_t position_ = 0;  // the sample reached, for the progress shown
  int fragmentsWritten_ = 0;
  int fragmentTotal_ = 0;
};

void TWavCutter::Prepare() {
  outputDir_ = MakeFragmentFolder(run_.OutputDir);
  RequireSourceFile(run_.SourcePath);
  source_ = std::make_unique<TWavFile>(run_.SourcePath);
  input_ = std::make_unique<TInputFile>(run_.SourcePath);
  if (run_.Tags) {
    tags_ = std::make_unique<TWavTagSource>(source_->Layout());
    fragmentTotal_ = WrittenFragmentCount(list_);
  }
}

std::vector<int64_t> TWavCutter::Starts() const {
  const auto rate = static_cast<int32_t>(source_->Format().SampleRate);
  std::vector<int64_t> starts;
  int64_t previous = 0;
  for (int i = 0; i < list_.Count(); ++i) {
    previous = std::max(previous, PositionAt(list_[i], rate));
    starts.push_back(previous);
  }
  return starts;
}

void TWavCutter::Walk() {
  const int64_t total = source_->Samples();
  const std::vector<int64_t> starts = Starts();
  for (int i = 0; i < list_.Count() && starts[i] < total; ++i) {
    const bool last = i + 1 == list_.Count() || starts[i + 1] >= total;
    CutPoint(i, starts[i], last ? total : starts[i + 1]);
    if (AbortHeard())
      return;
  }
  position_ = total;
  outcome_ = RunEndOfData;
  SayUnreachedPoints();
}

void TWavCutter::CutPoint(int index, int64_t start, int64_t end) {
  current_ = &list_[index];
  row_ = index + 1;
  position_ = start;
  feedback_.SelectRow(row_);
  ShowProgress(true);
  const std::string requested = " début demandé:    " + FormatCutPoint(*current_);
  const std::string actual =
      " début réel:  " + PositionText(static_cast<int32_t>(source_->Format().SampleRate), start);
  if (ctx_.State.AbortRequested) {  // heard while the progress was shown
    current_->Report = {requested, actual};
    EndCurrentRow(" **   abandon  **", "**    abandon **");
    return;
  }
  if (current_->IsSkipped()) {
    SetStatus("sauter ....");
    current_->Report = {requested, actual};
    EndCurrentRow(" sauté", "sauté");
    return;
  }
  if (start == end) {  // two points at one time: nothing between them
    current_->Report = {requested, actual, kEmptyFragmentLine};
    SetStatus(kOggEmpty);
    return;
  }
  std::string name = outputDir_ + current_->Name + ".wav";
  SetStatus("écriture..");
  ConfirmOutputName(ctx_, run_.SourcePath, name);
  current_->Report = {" Nom fich: " + name, requested, actual};
  if (ctx_.State.AbortRequested) {
    EndCurrentRow(" **   abandon  **", "**    abandon **");
    return;
  }
  WriteTrack(index, name, start, end);
}

void TWavCutter::WriteTrack(int index, std::string name, int64_t start, int64_t end) {
  writer_ = std::make_unique<TWavWriter>(name, OutputOptions(index, start, end));
  CopySamples(*writer_, start, end);
  // Taken out first: a track whose close failed is not closed a second time.
  const std::unique_ptr<TWavWriter> writer = std::move(writer_);
  writer->Finish();
  if (ctx_.State.AbortRequested) {
    EndCurrentRow(" **   abandon  **", "**    abandon **");
  } else {
    EndCurrentRow(" fait", "fait");
  }
}

// `fmt ` as it is, `fact` with the track's count, the tags, and a BWF time reference
// moved to the track's first sample. Cue points, loops and their labels name places in
// the whole source: they are left out.
TWavOutputOptions TWavCutter::OutputOptions(int index, int64_t start, int64_t end) {
  const TWavLayout& layout = source_->Layout();
  TWavOutputOptions options;
  options.Header.FmtBody = layout.FmtBody;
  options.Header.Fact = layout.FactSamples.has_value();
  if (const TWavChunk* bext = layout.Find("bext")) {
    if (auto moved = ShiftBextTimeReference(bext->Body, start))
      options.Header.ExtraChunks = WavChunkBytes("bext", *moved);
  }
  std::vector<uint8_t> tags;
  if (tags_) {
    ++fragmentsWritten_;
    tags = tags_->Render(FragmentTagsOf(list_, index, fragmentsWritten_, fragmentTotal_));
  } else {
    tags = TWavTagSource(layout).SourceChunks();
  }
  options.Header.ExtraChunks.insert(options.Header.ExtraChunks.end(), tags.begin(), tags.end());
  options.ExpectedDataSize = (end - start) * layout.Format.BlockAlign;
  options.Rf64Threshold = run_.Rf64Threshold;
  return options;
}

void TWavCutter::CopySamples(TWavWriter& writer, int64_t start, int64_t end) {
  const TWavLayout& layout = source_->Layout();
  const int64_t blockAlign = layout.Format.BlockAlign;
  CopyWavData(*input_, layout.DataOffset + start * blockAlign, (end - start) * blockAlign, writer,
              [&](int64_t done) {
                position_ = start + done / blockAlign;
                return KeepGoing();
              });
}

void TWavCutter::StopWalk() {
  if (writer_) {
    try {
      writer_->Finish();
    } catch (const std::exception&) {
    }
    writer_.reset();
  }
  if (source_)
    ShowProgress(true);
  input_.reset();
}

double TWavCutter::Progress() const {
  const int64_t total = source_->Samples();
  return total > 0 ? static_cast<double>(position_) / static_cast<double>(total) : 1.0;
}

std::string TWavCutter::ShownPosition() const {
  return PositionText(static_cast<int32_t>(source_->Format().SampleRate), position_);
}

std::vector<std::string> TWavCutter::MakeReport() {
  TWavReportInput input;
  input.Cut = true;
  input.Source = source_.get();
  input.Elapsed = elapsed_;
  input.List = &list_;
  return BuildWavReport(input);
}

void TWavCutter::OnFailure() {
  if (row_ > 0)
    EndCurrentRow(" ** erreur**", "! erreur!");
}

}  // namespace

TRunOutcome CutWav(TRunContext& ctx, TCPList& list, const TWavCutRun& run) {
  return TWavCutter(ctx, list, run).Run();
}

}  // namespace zembrio
