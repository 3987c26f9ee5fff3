// A source file, a cut list and a recording context for runs of the MPEG splitter.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/settings.h"
#include "core/timevalue.h"
#include "cut/splitter.h"
#include "framebuilder.h"
#include "recordingfeedback.h"

namespace zembrio::test {

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz: 1152 samples and 417 bytes per frame.
inline const FrameSpec kSpec{};

class MpegRunTest : public ::testing::Test {
 protected:
  // The byte-level expectations are those of outputs without a header frame or a tag.
  void SetUp() override {
    Settings() = TSettings{};
    Settings().XINGHEADER = false;
    Settings().ID3V2TAG = 0;
  }
  void TearDown() override { Settings() = TSettings{}; }

  TCutPoint& AddPoint(int seconds, int ms, const std::string& name) {
    TCutPoint& point = list.Add();
    SetMilliseconds(point, seconds, ms);
    point.Name = name;
    return point;
  }

  // Frames made by Frames(), with a stretch of garbage among them.
  void WriteSourceWithGarbage(int framesBefore, size_t garbage, int framesAfter) {
    Bytes bytes = Frames(kSpec, framesBefore);
    Append(bytes, Garbage(garbage));
    Append(bytes, Frames(kSpec, framesAfter));
    WriteFile(source, bytes);
  }

  TRunOutcome Cut() {
    TMpegRun run;
    run.SourcePath = source;
    run.OutputDir = outDir;
    return ProcessMPEG(rc.Context, list, run);
  }

  TRunOutcome Stats(const std::string& detailPath = "") {
    TMpegRun run;
    run.Cut = false;
    run.Detail = !detailPath.empty();
    run.SourcePath = source;
    run.DetailPath = detailPath;
    return ProcessMPEG(rc.Context, list, run);
  }

  std::string OutputPath(const std::string& name) const { return outDir + "/" + name + ".mp3"; }
  Bytes Output(const std::string& name) const { return ReadFile(OutputPath(name)); }
  const std::vector<std::string>& Messages() const { return rc.Feedback.Messages; }
  // The one report shown, or an empty list.
  std::vector<std::string> Report() const {
    return rc.Feedback.Reports.empty() ? std::vector<std::string>{} : rc.Feedback.Reports.back();
  }

  TempDir dir;
  std::string source = dir.File("song.mp3");
  std::string outDir = dir.File("out");  // without "/": the splitter appends it
  RecordingContext rc;
  TCPList list;
};

// Frames made by Frames() carry their index + 1 in every data byte.
inline int FirstFrameIndex(const Bytes& fragment) {
  return fragment.at(4) - 1;
}
inline int FrameCountOf(const Bytes& fragment) {
  return static_cast<int>(fragment.size()) / FrameLength(kSpec);
}

}  // namespace zembrio::test
