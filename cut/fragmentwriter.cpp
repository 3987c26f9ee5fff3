#include "cut/fragmentwriter.h"

#include <cassert>
#include <utility>

namespace zembrio {

void TFragmentWriter::Open(const std::string& path, TFragmentOptions options, int64_t start) {
  assert(!output_);
  output_ = std::make_unique<TFragmentOutput>(path, std::move(options));
  span_ = TFragmentSpan{};
  span_.FirstFrame = source_.FrameCount() - 1;
  span_.StartFrame = span_.FirstFrame;
  span_.Start = start;
  WriteWarmUpFrame(start);
}

// The warm-up frame goes out with that frame's reservoir bytes in the priming frame: the
// delay trims both.
void TFragmentWriter::WriteWarmUpFrame(int64_t start) {
  if (!output_->CanTrim() || kept_.Index != span_.StartFrame - 1 ||
      !plan_.WantsWarmUpFrame(start, span_.StartFrame, SamplesPerFrame()))
    return;
  output_->WriteFrame(kept_.Bytes,
                      reservoir_.PrimingFrame(kept_.Bytes, source_.RefVersion(), kept_.Mark));
  span_.FirstFrame = kept_.Index;
}

bool TFragmentWriter::HandOver(TCutPoint* point, int row, int64_t nextStart) {
  if (!output_ || !plan_.SharesFrames() || !output_->CanTrim())
    return false;
  auto closing = std::make_unique<TClosingFragment>();
  closing->Output = std::move(output_);
  closing->Point = point;
  closing->Row = row;
  closing->Span = span_;
  closing->Span.End = nextStart;
  closing->Span.EndFrame = source_.FrameCount() - 1;
  closing->Until = plan_.ClosingUntil(nextStart, SamplesPerFrame());
  closing_.push_back(std::move(closing));
  return true;
}

void TFragmentWriter::WriteFrame() {
  if (output_)
    WriteCurrentFrame(*output_);
  for (const auto& closing : closing_)
    WriteCurrentFrame(*closing->Output);
}

// With header frames, a fragment's first frame is preceded by a priming frame.
void TFragmentWriter::WriteCurrentFrame(TFragmentOutput& output) {
  if (plan_.SharesFrames() && output.FramesWritten() == 0) {
    output.WriteFrame(source_, reservoir_.PrimingFrame(source_));
  } else {
    output.WriteFrame(source_);
  }
}

// With header frames, the frames shortly before a cut point pass through the reservoir:
// they hold the bytes that the first frame of the fragment needs. The frame itself is kept
// only when the next frame starts a fragment.
void TFragmentWriter::KeepForNext() {
  const int64_t perFrame = SamplesPerFrame();
  if (plan_.KeepsFrameBefore(source_.EndSample(), perFrame)) {
    kept_.Mark = reservoir_.Mark();
    kept_.Index = source_.FrameCount() - 1;
    kept_.Bytes.clear();
    for (const auto& [data, size] : source_.FrameBytes())
      kept_.Bytes.insert(kept_.Bytes.end(), data, data + size);
  }
  if (plan_.ReservoirWanted(source_.EndSample(), perFrame)) {
    reservoir_.Add(source_);
  } else {
    reservoir_.Clear();
  }
}

void TFragmentWriter::CloseFinished(bool all, bool wait, bool endOfData,
                                    const TClosedCallback& closed) {
  while (!closing_.empty() && (all || (!wait && source_.FrameCount() >= closing_.front()->Until))) {
    // Taken out first: a fragment whose close failed is not closed a second time.
    const std::unique_ptr<TClosingFragment> closing = std::move(closing_.front());
    closing_.erase(closing_.begin());
    Close(*closing->Output, closing->Span, closing->Span.End < 0, endOfData);
    closed(*closing->Point, closing->Row);
  }
}

void TFragmentWriter::LetLastClosingRunToEnd() {
  if (!closing_.empty() && closing_.back()->Span.End == span_.Start) {
    closing_.back()->Span.End = -1;
    closing_.back()->Span.EndFrame = -1;
  }
}

std::string TFragmentWriter::Finish(bool last, bool endOfData) {
  // Taken out first: a fragment whose close failed is not closed a second time.
  const std::unique_ptr<TFragmentOutput> output = std::move(output_);
  Close(*output, span_, last, endOfData);
  return output->Path();
}

void TFragmentWriter::Close(TFragmentOutput& output, const TFragmentSpan& span, bool last,
                            bool endOfData) {
  const TWrittenFrames written{output.FramesWritten() - (output.Primed() ? 1 : 0), output.Primed()};
  const TFragmentTrim trim = plan_.TrimOf(span, written, SamplesPerFrame(), last && endOfData);
  std::vector<uint8_t> tag;
  if (source_.HasTag() && plan_.TakesEndTag(last))
    tag.assign(source_.TagData().begin(), source_.TagData().end());
  output.Finish(trim, tag);
}

}  // namespace zembrio
