// The fragments of an MPEG cut being written: the current one, and with header frames the
// ones before it that still take the frames that finish their stretch (fragments shorter
// than those frames are several at once). It keeps the frame before the current one whole
// and the reservoir as it stood, for the warm-up and priming frames of the next fragment.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cut/fragmentoutput.h"
#include "cut/fragmentplan.h"
#include "mpeg/mpgfile.h"
#include "mpeg/reservoir.h"

namespace zembrio {

class TFragmentWriter {
 public:
  // Called for every fragment that was closed after taking the frames that finish it.
  using TClosedCallback = std::function<void(TCutPoint& point, int row)>;

  TFragmentWriter(TMPGFile& source, const TFragmentPlanner& plan) : source_(source), plan_(plan) {}

  // A fragment is being written.
  bool Writing() const { return output_ != nullptr; }
  // A fragment is being written or still takes frames.
  bool Busy() const { return output_ || !closing_.empty(); }
  // Where the fragment being written lies.
  const TFragmentSpan& Span() const { return span_; }

  // Creates the fragment whose stretch starts at start, at the current frame: it begins
  // with the frame before when its stretch starts too early in this one to be decoded.
  void Open(const std::string& path, TFragmentOptions options, int64_t start);
  // The fragment being written ends where the next one starts: it goes on taking the frames
  // that finish its stretch, for point at row. False when it cannot (no header frame to
  // say what to trim): the caller closes it now.
  bool HandOver(TCutPoint* point, int row, int64_t nextStart);
  // Writes the current frame (read with ReadData) to every fragment that takes it.
  void WriteFrame();
  // Keeps what the next fragment may begin with, once the current frame is written.
  void KeepForNext();
  // Closes the fragments that took the frames that finish them, all of them when all;
  // none while wait. endOfData: the walk ended with the audio data.
  void CloseFinished(bool all, bool wait, bool endOfData, const TClosedCallback& closed);
  // The fragment before an empty last one runs to the end: it took every frame since.
  void LetLastClosingRunToEnd();
  // Closes the fragment being written (last: it ends the cut) and returns its path.
  std::string Finish(bool last, bool endOfData);

 private:
  // The frame before the current one, kept whole with the reservoir as it stood before it.
  struct TKeptFrame {
    std::vector<uint8_t> Bytes;
    TReservoirMark Mark;
    int64_t Index = -1;
  };
  struct TClosingFragment {
    std::unique_ptr<TFragmentOutput> Output;
    TCutPoint* Point = nullptr;
    int Row = 0;
    TFragmentSpan Span;
    int64_t Until = 0;  // it takes the frames before this one
  };

  void WriteWarmUpFrame(int64_t start);
  void WriteCurrentFrame(TFragmentOutput& output);
  // Fills in the header frame, appends the end tag when it belongs there, and closes.
  void Close(TFragmentOutput& output, const TFragmentSpan& span, bool last, bool endOfData);
  int64_t SamplesPerFrame() const { return source_.CurrentHeader().SamplesPerFrame; }

  TMPGFile& source_;
  const TFragmentPlanner& plan_;
  std::unique_ptr<TFragmentOutput> output_;                 // the fragment being written
  TFragmentSpan span_;                                      // where it lies
  std::vector<std::unique_ptr<TClosingFragment>> closing_;  // before it, still taking frames
  TReservoir reservoir_;  // for the priming frame of the next fragment
  TKeptFrame kept_;       // for its warm-up frame
};

}  // namespace zembrio
