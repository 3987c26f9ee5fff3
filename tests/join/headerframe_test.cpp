// Fragments and joined files of lame-encoded sources with XINGHEADER on: each one opens with
// a header frame that describes it, decoders read it, and the join of all the fragments
// decodes exactly as the source does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/timevalue.h"
#include "cut/process.h"
#include "cut/splitter.h"
#include "cut/statsreport.h"
#include "framebuilder.h"
#include "join/join.h"
#include "mpeg/mpgfile.h"
#include "mpeg/reservoir.h"
#include "mpeg/xingheader.h"
#include "recordingfeedback.h"
#include "settingsguard.h"

namespace zembrio {
namespace {

using test::Bytes;

const std::string kLame = "/usr/bin/lame";
const std::string kMpg123 = "/usr/bin/mpg123";
const std::string kFfprobe = "/usr/bin/ffprobe";

struct TSourceKind {
  friend void PrintTo(const TSourceKind& kind, std::ostream* out) { *out << kind.name; }
  const char* name;
  std::vector<std::string> lameOptions;
  int rate;
  int channels;
};

// A tone that grows loud and falls quiet, so that a VBR encoding varies its bitrate.
void WriteTone(const std::string& path, int rate, int channels, int seconds) {
  std::string data;
  const int samples = rate * seconds;
  for (int i = 0; i < samples; ++i) {
    const double level = 12000 * std::sin(3.14159 * i / samples);
    for (int c = 0; c < channels; ++c) {
      const auto v =
          static_cast<uint16_t>(static_cast<int16_t>(level * std::sin(i * (0.03 + c * 0.02))));
      data += static_cast<char>(v & 0xFF);
      data += static_cast<char>(v >> 8);
    }
  }
  WriteFileAtomically(path, data);
}

std::string Decode(const std::string& mp3) {
  const TCapturedRun run = RunAndCapture({kMpg123, "-q", "-e", "s16", "-s", mp3}, nullptr);
  EXPECT_EQ(run.ExitCode, 0) << mp3;
  return run.Output;
}

// What a walk of the file finds: its header frame's fields and the audio frames after it.
struct TWalked {
  std::optional<TSourceHeader> header;
  uint32_t declaredFrames = 0;
  uint32_t declaredBytes = 0;
  int64_t audioFrames = 0;  // after the header frame, a priming frame included
  bool primed = false;
  int32_t samplesPerFrame = 0;
  int64_t frameBytes = 0;
  Bytes audio;  // the audio frames, a priming frame left out
};

TWalked Walk(const std::string& path) {
  const Bytes bytes = test::ReadFile(path);
  TWalked walked;
  TMPGFile file;
  EXPECT_TRUE(file.Open(path, true)) << path;
  walked.header = file.SourceHeader();
  const size_t at = XingOffset(file.RefVersion(), file.RefChannelMode());
  const auto big32 = [&](size_t i) {
    return uint32_t{bytes[i]} << 24 | uint32_t{bytes[i + 1]} << 16 | uint32_t{bytes[i + 2]} << 8 |
           bytes[i + 3];
  };
  walked.declaredFrames = big32(at + 8);
  walked.declaredBytes = big32(at + 12);
  walked.frameBytes = file.FirstFramePos();
  while (file.ReadHeader() == Ok) {
    file.ReadData();
    const bool priming = walked.audioFrames == 0 && IsPrimingFrame(file);
    walked.primed = walked.primed || priming;
    for (const auto& [data, size] : file.FrameBytes()) {
      if (!priming)
        walked.audio.insert(walked.audio.end(), data, data + size);
    }
    walked.samplesPerFrame = file.CurrentHeader().SamplesPerFrame;
    ++walked.audioFrames;
  }
  walked.frameBytes = file.Position();
  return walked;
}

class NullView : public IJoinView {
 public:
  void RowChanged(int) override {}
};

class HeaderFrameTest : public ::testing::TestWithParam<TSourceKind> {
 protected:
  void SetUp() override {
    if (!FileExists(kLame) || !FileExists(kMpg123))
      GTEST_SKIP() << "lame or mpg123 missing";
    const TSourceKind& kind = GetParam();
    WriteTone(dir_.File("tone.raw"), kind.rate, kind.channels, 12);
    std::vector<std::string> argv{kLame,
                                  "--quiet",
                                  "-r",
                                  "--bitwidth",
                                  "16",
                                  "-s",
                                  std::to_string(kind.rate / 1000.0),
                                  "-m",
                                  kind.channels == 1 ? "m" : "j"};
    argv.insert(argv.end(), kind.lameOptions.begin(), kind.lameOptions.end());
    argv.insert(argv.end(), {dir_.File("tone.raw"), source_});
    ASSERT_EQ(RunAndCapture(argv, nullptr).ExitCode, 0);
    Settings().XINGHEADER = true;
    Settings().SKIPVBRHEADER = false;  // the source's own header frame must go all the same
    Settings().ID3V2TAG = 0;           // the header frame is looked for at the start of each output
  }

  TRunOutcome Cut(const std::vector<std::pair<int, const char*>>& points) {
    for (const auto& [ms, name] : points) {
      TCutPoint& point = list_.Add();
      SetMilliseconds(point, ms / 1000, ms % 1000);
      point.Name = name;
    }
    TMpegRun run;
    run.SourcePath = source_;
    run.OutputDir = dir_.File("out");
    return ProcessMPEG(rc_.Context, list_, run);
  }
  std::string Fragment(const std::string& name) const { return dir_.File("out/" + name + ".mp3"); }

  test::SettingsGuard guard_;
  test::TempDir dir_;
  std::string source_ = dir_.File("source.mp3");
  test::RecordingContext rc_;
  TCPList list_;
};

// Decoded samples, compared with a difference of one step allowed: decoders may round a
// sample either way where the order of their sums differs.
void ExpectSameSamples(const std::string& actual, const std::string& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  size_t differing = 0;
  for (size_t i = 0; i + 1 < actual.size(); i += 2) {
    const auto a = static_cast<int16_t>(static_cast<uint8_t>(actual[i]) |
                                        static_cast<uint8_t>(actual[i + 1]) << 8);
    const auto e = static_cast<int16_t>(static_cast<uint8_t>(expected[i]) |
                                        static_cast<uint8_t>(expected[i + 1]) << 8);
    differing += std::abs(a - e) > 1 ? 1 : 0;
  }
  EXPECT_EQ(differing, 0u);
}

const std::vector<std::pair<int, const char*>> kPoints{
    {0, "a"}, {2345, "b"}, {5500, "c"}, {9001, "d"}};

TEST_P(HeaderFrameTest, FragmentsDecodeToTheSourceAndTheirJoinIsTheSource) {
  for (const int adjust : {0, 1, 2, 3}) {
    SCOPED_TRACE("ADJUSTSTART " + std::to_string(adjust));
    Settings().ADJUSTSTART = adjust;
    list_.Clear();
    std::filesystem::remove_all(dir_.File("out"));
    ASSERT_EQ(Cut(kPoints), RunEndOfData);
    const TWalked source = Walk(source_);
    ASSERT_TRUE(source.header && source.header->Lame);
    const std::string sourceSamples = Decode(source_);
    const int bytesPerSample = 2 * GetParam().channels;
    std::string ends;
    for (size_t i = 0; i < kPoints.size(); ++i) {
      const std::string path = Fragment(kPoints[i].second);
      const TWalked fragment = Walk(path);
      ASSERT_TRUE(fragment.header && fragment.header->Lame) << path;
      // The counts are those of this file; no second header frame lies inside it.
      EXPECT_EQ(fragment.declaredFrames, fragment.audioFrames) << path;
      EXPECT_EQ(fragment.declaredBytes, std::filesystem::file_size(path)) << path;
      EXPECT_EQ(fragment.declaredBytes, fragment.frameBytes) << path;
      EXPECT_EQ(fragment.header->Lame->Encoder, source.header->Lame->Encoder);
      EXPECT_TRUE(i > 0 || !fragment.primed) << path;
      if (FileExists(kFfprobe)) {
        const TCapturedRun probe = RunAndCapture(
            {kFfprobe, "-v", "warning", "-show_entries", "format=duration", "-of", "csv=p=0", path},
            nullptr);
        EXPECT_EQ(probe.Output.find("Estimating"), std::string::npos) << probe.Output;
      }
      const std::string samples = Decode(path);
      if (adjust == 3) {  // exactly the samples from its point to the next one
        const int64_t from = int64_t{kPoints[i].first} * GetParam().rate / 1000;
        const int64_t to = i + 1 < kPoints.size()
                               ? int64_t{kPoints[i + 1].first} * GetParam().rate / 1000
                               : static_cast<int64_t>(sourceSamples.size()) / bytesPerSample;
        EXPECT_EQ(static_cast<int64_t>(samples.size()), (to - from) * bytesPerSample) << path;
        ASSERT_GE(list_[i].Report.size(), 3u);
        EXPECT_EQ(list_[i].Report[2], " début réel:  " + PositionText(GetParam().rate, from));
      }
      ends += samples;
    }
    // Gapless, the fragments put end to end are the source.
    ExpectSameSamples(ends, sourceSamples);

    TJoinList join;
    for (const auto& point : kPoints)
      join.push_back({std::string(point.second) + ".mp3", dir_.File("out/")});
    NullView view;
    const std::string joined = dir_.File("joined" + std::to_string(adjust) + ".mp3");
    ASSERT_EQ(
        RunJoin(rc_.Context, join, view, joined, TJoinMode::jmFrames, JoinOptionsFromSettings()),
        TJoinOutcome::Finished);
    const TWalked all = Walk(joined);
    // The join leaves the priming frames and the shared frames out: the source's frames.
    EXPECT_EQ(all.declaredFrames, source.audioFrames);
    EXPECT_TRUE(all.audio == source.audio);
    EXPECT_EQ(all.declaredBytes, std::filesystem::file_size(joined));
    EXPECT_EQ(all.header->Lame->Delay, source.header->Lame->Delay);
    EXPECT_EQ(all.header->Lame->Padding, source.header->Lame->Padding);
    EXPECT_TRUE(Decode(joined) == sourceSamples);
  }
}

// A cut list as times in seconds and CD frames (1/75 s).
struct TCdPoint {
  int seconds;
  int frames;
  const char* name;
};

// Exact mode: every fragment holds exactly its stretch, however short it or its neighbours
// are (one CD frame is less than a frame of the stream); a fragment that shares its start
// with the next one is not written, and the others put end to end are the source.
TEST_P(HeaderFrameTest, FragmentsOfAnyLengthHoldExactlyTheirStretch) {
  Settings().ADJUSTSTART = 3;
  const std::vector<TCdPoint> points{{0, 0, "a"},  {7, 24, "b"}, {7, 25, "c"},
                                     {7, 27, "d"}, {7, 27, "e"}, {9, 0, "f"}};
  for (const TCdPoint& p : points) {
    TCutPoint& point = list_.Add();
    SetFrames(point, p.seconds, p.frames);
    point.Name = p.name;
  }
  TMpegRun run;
  run.SourcePath = source_;
  run.OutputDir = dir_.File("out");
  ASSERT_EQ(ProcessMPEG(rc_.Context, list_, run), RunEndOfData);

  const int rate = GetParam().rate;
  const int bytesPerSample = 2 * GetParam().channels;
  const std::string sourceSamples = Decode(source_);
  const int64_t total = static_cast<int64_t>(sourceSamples.size()) / bytesPerSample;
  std::string ends;
  TJoinList join;
  for (size_t i = 0; i < points.size(); ++i) {
    const int64_t from = PositionAt(list_[static_cast<int>(i)], rate);
    const int64_t to =
        i + 1 < points.size() ? PositionAt(list_[static_cast<int>(i) + 1], rate) : total;
    const std::string path = Fragment(points[i].name);
    EXPECT_EQ(FileExists(path), to > from) << path;
    if (to == from) {
      EXPECT_EQ(rc_.Feedback.RowStatus[static_cast<int>(i) + 1], "vide");
      continue;
    }
    const std::string samples = Decode(path);
    EXPECT_EQ(static_cast<int64_t>(samples.size()), (to - from) * bytesPerSample) << path;
    ends += samples;
    join.push_back({std::string(points[i].name) + ".mp3", dir_.File("out/")});
  }
  ExpectSameSamples(ends, sourceSamples);
  // The join of the fragments written leaves every shared frame out.
  NullView view;
  const std::string joined = dir_.File("joined.mp3");
  ASSERT_EQ(
      RunJoin(rc_.Context, join, view, joined, TJoinMode::jmFrames, JoinOptionsFromSettings()),
      TJoinOutcome::Finished);
  EXPECT_TRUE(Walk(joined).audio == Walk(source_).audio);
}

// With header frames the frame modes read times where they play, after the encoder delay:
// "précédente" starts at or before the point, within a frame; "suivante" at or after it;
// "la plus proche" within half a frame. The report shows the start as it plays; points
// that choose the same frame leave the first empty, and a point at the very end is empty.
TEST_P(HeaderFrameTest, FrameModesChooseOnThePlayedTimeline) {
  const std::vector<TCdPoint> points{{0, 0, "a"},  {2, 26, "b"},   {2, 26, "c"},
                                     {5, 37, "d"}, {12, 0, "end"}, {13, 0, "far"}};
  const int rate = GetParam().rate;
  const int bytesPerSample = 2 * GetParam().channels;
  for (const int adjust : {0, 1, 2}) {
    SCOPED_TRACE("ADJUSTSTART " + std::to_string(adjust));
    Settings().ADJUSTSTART = adjust;
    list_.Clear();
    rc_.Feedback.Messages.clear();
    rc_.Feedback.RowStatus.clear();
    std::filesystem::remove_all(dir_.File("out"));
    for (const TCdPoint& p : points) {
      TCutPoint& point = list_.Add();
      SetFrames(point, p.seconds, p.frames);
      point.Name = p.name;
    }
    TMpegRun run;
    run.SourcePath = source_;
    run.OutputDir = dir_.File("out");
    ASSERT_EQ(ProcessMPEG(rc_.Context, list_, run), RunEndOfData);

    const std::string sourceSamples = Decode(source_);
    std::string ends;
    int64_t spf = 0;
    for (const char* name : {"a", "c", "d"}) {
      const int index = name[0] - 'a';
      const TWalked fragment = Walk(Fragment(name));
      spf = fragment.samplesPerFrame;
      const int64_t played = static_cast<int64_t>(ends.size()) / bytesPerSample;
      const int64_t target = PositionAt(list_[index], rate);
      if (adjust == 0) {
        EXPECT_LE(played, target) << name;
        EXPECT_LE(target - played, spf) << name;
      } else if (adjust == 1) {
        EXPECT_LE(std::abs(target - played), spf / 2) << name;
      } else {
        EXPECT_GE(played, target) << name;
        EXPECT_LT(played - target, spf) << name;
      }
      ASSERT_GE(list_[index].Report.size(), 3u);
      EXPECT_EQ(list_[index].Report[2], " début réel:  " + PositionText(rate, played)) << name;
      ends += Decode(Fragment(name));
    }
    ExpectSameSamples(ends, sourceSamples);
    EXPECT_FALSE(FileExists(Fragment("b")));
    EXPECT_FALSE(FileExists(Fragment("end")));
    EXPECT_EQ(rc_.Feedback.RowStatus[2], "vide");
    EXPECT_EQ(rc_.Feedback.RowStatus[5], "vide");
    EXPECT_EQ(list_[5].Report, std::vector<std::string>{"  non atteint"});
    EXPECT_EQ(rc_.Feedback.Messages.size(), 1u);
  }
}

// Fragments that do not follow each other keep every frame in a join, the priming frame
// included: only consecutive fragments of one cut share frames. Each plays as it does
// alone, with its neighbours' frames and a silent priming frame at the seam.
TEST_P(HeaderFrameTest, AJoinOfFragmentsThatDoNotFollowEachOtherKeepsTheirFrames) {
  Settings().ADJUSTSTART = 3;
  ASSERT_EQ(Cut(kPoints), RunEndOfData);
  TJoinList join{{"a.mp3", dir_.File("out/")}, {"c.mp3", dir_.File("out/")}};
  NullView view;
  const std::string joined = dir_.File("joined.mp3");
  ASSERT_EQ(
      RunJoin(rc_.Context, join, view, joined, TJoinMode::jmFrames, JoinOptionsFromSettings()),
      TJoinOutcome::Finished);
  const TWalked a = Walk(Fragment("a"));
  const TWalked c = Walk(Fragment("c"));
  EXPECT_EQ(Walk(joined).audioFrames, a.audioFrames + c.audioFrames);

  const std::string first = Decode(Fragment("a"));
  const std::string last = Decode(Fragment("c"));
  const std::string all = Decode(joined);
  const int64_t seam = a.audioFrames * a.samplesPerFrame - a.header->Lame->Delay -
                       static_cast<int64_t>(first.size()) / (2 * GetParam().channels) +
                       c.header->Lame->Delay;
  ASSERT_EQ(static_cast<int64_t>(all.size()),
            static_cast<int64_t>(first.size() + last.size()) + seam * 2 * GetParam().channels);
  ExpectSameSamples(all.substr(0, first.size()), first);
  ExpectSameSamples(all.substr(all.size() - last.size()), last);
}

// An abort while a fragment still takes the frames that finish its stretch leaves it with a
// header that describes what it holds, and it plays to its last frame.
TEST_P(HeaderFrameTest, AnAbortLeavesEachFragmentDescribingWhatItHolds) {
  Settings().ADJUSTSTART = 3;
  rc_.Feedback.OnEvents = [this] {
    if (!rc_.Feedback.SelectedRows.empty() && rc_.Feedback.SelectedRows.back() == 3)
      rc_.State.AbortRequested = true;
  };
  ASSERT_EQ(Cut(kPoints), RunAborted);
  EXPECT_FALSE(FileExists(Fragment("c")));
  for (const char* name : {"a", "b"}) {
    const TWalked fragment = Walk(Fragment(name));
    ASSERT_TRUE(fragment.header && fragment.header->Lame) << name;
    EXPECT_EQ(fragment.declaredFrames, fragment.audioFrames) << name;
    EXPECT_EQ(fragment.declaredBytes, std::filesystem::file_size(Fragment(name))) << name;
    const TLameTag& lame = *fragment.header->Lame;
    // The decoder lags 529 samples behind: those of them that no later frame of the file
    // finishes never come out.
    const int64_t unfinished = std::max(0, 529 - lame.Padding);
    const int64_t samples =
        fragment.audioFrames * fragment.samplesPerFrame - lame.Delay - lame.Padding - unfinished;
    EXPECT_EQ(static_cast<int64_t>(Decode(Fragment(name)).size()),
              samples * 2 * GetParam().channels)
        << name;
  }
}

INSTANTIATE_TEST_SUITE_P(LameSources, HeaderFrameTest,
                         ::testing::Values(TSourceKind{"Vbr44kStereo", {"-V", "2"}, 44100, 2},
                                           TSourceKind{"Cbr22kStereo", {"-b", "64"}, 22050, 2},
                                           TSourceKind{"Vbr22kStereo", {"-V", "5"}, 22050, 2},
                                           TSourceKind{"Vbr48kMono", {"-V", "4"}, 48000, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// The length mutagen (beets, Picard, Quod Libet) shows: it reads the delay and padding only
// behind an encoder string it knows. -1 when it cannot be asked.
double MutagenLength(const std::string& path) {
  const std::string python = "/usr/bin/python3";
  if (!FileExists(python))
    return -1;
  const TCapturedRun run = RunAndCapture(
      {python, "-c", "import sys, mutagen.mp3; print(mutagen.mp3.MP3(sys.argv[1]).info.length)",
       path},
      nullptr);
  return run.ExitCode == 0 ? std::stod(run.Output) : -1;
}

// A source without a LAME tag: the fresh header still says the delay in a way that mpg123,
// libavformat and mutagen all honour, so none plays or counts the encoder's silence.
TEST(HeaderFrameOwnEncoderTest, DecodersTrimTheDelayOfASourceWithoutLameTag) {
  const std::string ffmpeg = "/usr/bin/ffmpeg";
  if (!FileExists(kLame) || !FileExists(kMpg123) || !FileExists(ffmpeg))
    GTEST_SKIP() << "lame, mpg123 or ffmpeg missing";
  test::SettingsGuard guard;
  test::TempDir dir;
  WriteTone(dir.File("tone.raw"), 44100, 2, 4);
  ASSERT_EQ(RunAndCapture({kLame, "--quiet", "-r", "-s", "44.1", "-t", "-b", "128",
                           dir.File("tone.raw"), dir.File("s.mp3")},
                          nullptr)
                .ExitCode,
            0);
  Settings().XINGHEADER = true;
  Settings().ID3V2TAG = 0;
  test::RecordingContext rc;
  TCPList list;
  list.Add().Name = "a";
  TCutPoint& second = list.Add();
  SetMilliseconds(second, 2, 0);
  second.Name = "b";
  TMpegRun run;
  run.SourcePath = dir.File("s.mp3");
  run.OutputDir = dir.File("out");
  ASSERT_EQ(ProcessMPEG(rc.Context, list, run), RunEndOfData);
  const std::string first = dir.File("out/a.mp3");
  const TWalked walked = Walk(first);
  ASSERT_TRUE(walked.header && walked.header->Lame);
  EXPECT_EQ(walked.header->Lame->Delay, 576);  // LAME's usual delay
  // Both decoders drop the delay and the decoder's own 529 samples at the start, and end
  // at the padding, or 529 samples early when the padding is shorter.
  const TLameTag& lame = *walked.header->Lame;
  const int64_t played = walked.audioFrames * 1152 - lame.Delay - std::max(lame.Padding, 529);
  const TCapturedRun decoded =
      RunAndCapture({ffmpeg, "-v", "error", "-i", first, "-f", "s16le", "-"}, nullptr);
  ASSERT_EQ(decoded.ExitCode, 0);
  EXPECT_EQ(static_cast<int64_t>(decoded.Output.size()) / 4, played);
  EXPECT_EQ(static_cast<int64_t>(Decode(first).size()) / 4, played);
  const double length = MutagenLength(first);
  if (length < 0)
    GTEST_SKIP() << "mutagen missing";
  EXPECT_NEAR(length * 44100, walked.audioFrames * 1152 - lame.Delay - lame.Padding, 1);
}

TEST(HeaderFrameOffTest, WithoutTheSettingNoHeaderFrameIsWritten) {
  test::SettingsGuard guard;
  test::TempDir dir;
  const test::FrameSpec spec;
  Bytes bytes = test::VbrFrame(spec, "Xing");
  test::Append(bytes, test::Frames(spec, 40));
  test::WriteFile(dir.File("s.mp3"), bytes);
  Settings().XINGHEADER = false;
  Settings().ID3V2TAG = 0;
  Settings().SKIPVBRHEADER = false;
  test::RecordingContext rc;
  TCPList list;
  list.Add().Name = "all";
  TMpegRun run;
  run.SourcePath = dir.File("s.mp3");
  run.OutputDir = dir.File("out");
  ASSERT_EQ(ProcessMPEG(rc.Context, list, run), RunEndOfData);
  // Today's bytes: the source's frames as they are, its own header frame included.
  EXPECT_EQ(test::ReadFile(dir.File("out/all.mp3")), bytes);
}

}  // namespace
}  // namespace zembrio
