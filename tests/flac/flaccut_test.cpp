// Cuts and joins of sources made by sox and flac, judged by flac, ffmpeg and the source's
// own frames: every track holds exactly its samples and verifies.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "core/settings.h"
#include "core/timevalue.h"
#include "flac/flaccut.h"
#include "flac/flacjoin.h"
#include "flac/framescan.h"
#include "flactools.h"
#include "framebuilder.h"
#include "recordingfeedback.h"
#include "settingsguard.h"

namespace zembrio::test {
namespace {

// The frame bodies of a stream, to tell copied frames from encoded ones.
std::vector<std::string> FrameBodies(const std::string& path) {
  TInputFile input(path);
  const auto layout = ReadFlacStreamLayout(input);
  std::vector<std::string> bodies;
  if (!layout)
    return bodies;
  TFlacFrameScanner scanner(input, *layout);
  TFlacFrame frame;
  while (scanner.Next(frame) == TFlacScanResult::Frame)
    bodies.emplace_back(reinterpret_cast<const char*>(frame.Body()), frame.BodySize());
  return bodies;
}

bool IsVariable(const std::string& path) {
  TInputFile input(path);
  const auto layout = ReadFlacStreamLayout(input);
  TFlacFrameScanner scanner(input, layout.value());
  TFlacFrame frame;
  return scanner.Next(frame) == TFlacScanResult::Frame && frame.Header.VariableBlocksize;
}

struct Track {
  std::string Name;
  uint64_t Start = 0;
  uint64_t End = 0;  // 0: the source's end
};

class FlacCutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTools({"sox", "flac"}))
      GTEST_SKIP() << "sox and flac are needed";
    Settings().ID3V2TAG = 0;
  }

  // A point at ms milliseconds; its sample at rate.
  uint64_t AddPoint(uint64_t ms, uint32_t rate, const std::string& name) {
    TCutPoint& point = list.Add();
    SetMilliseconds(point, static_cast<int32_t>(ms / 1000), static_cast<int32_t>(ms % 1000));
    point.Name = name;
    return static_cast<uint64_t>(PositionAt(point, static_cast<int32_t>(rate)));
  }

  TRunOutcome Cut(const std::string& path) {
    TFlacCutRun run;
    run.SourcePath = path;
    run.OutputDir = out;
    run.Tags = Settings().ID3V2TAG != 0;
    return CutFlac(rc.Context, list, run);
  }

  std::string TrackPath(const std::string& name) const { return out + "/" + name + ".flac"; }

  // Decodes equal to the source's stretch, verifies, states its length, plays in ffmpeg
  // without a word, and copies all but a few frames from the source.
  void ExpectExact(const std::string& source, const Track& t, uint64_t total) {
    SCOPED_TRACE(t.Name);
    const std::string path = TrackPath(t.Name);
    const uint64_t end = t.End == 0 ? total : t.End;
    const TFlacStreamInfo info = StreamInfoOf(path);
    EXPECT_EQ(info.TotalSamples, end - t.Start);
    EXPECT_TRUE(info.HasMd5());
    EXPECT_GE(info.MinBlockSize, 16u);
    const std::vector<uint8_t> expected = DecodeRaw(source, t.Start, end == total ? 0 : end);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(DecodeRaw(path) == expected);
    EXPECT_TRUE(FlacTestPasses(path));
    if (HaveTools({"ffmpeg"})) {
      EXPECT_EQ(ShellErrors("ffmpeg -v error -i " + path + " -f null -"), "");
    }
    const std::vector<std::string> sourceBodies = FrameBodies(source);
    const std::set<std::string> known(sourceBodies.begin(), sourceBodies.end());
    int encoded = 0;
    for (const std::string& body : FrameBodies(path))
      encoded += known.count(body) == 0 ? 1 : 0;
    EXPECT_LE(encoded, 4);
  }

  std::string Status(int row) { return rc.Feedback.RowStatus[row]; }

  SettingsGuard guard;
  TempDir dir;
  std::string out = dir.File("out");
  RecordingContext rc;
  TCPList list;
};

// At 1000 Hz a millisecond is a sample: every edge of a 4096-sample frame can be named.
TEST_F(FlacCutTest, EveryEdgeOfAFrameIsExact) {
  const std::string source = dir.File("exact.flac");
  MakeFlac({1000, 2, 16, 4096, 30}, source);
  const std::vector<Track> tracks = {
      {"aligned", 0, 4095},        // fixed stream, ends one short of a frame
      {"one_left", 4095, 8193},    // 1 sample joins the next block: split in two
      {"ends_into", 8193, 12273},  // ends one sample into a frame, starts 4095 left
      {"fifteen", 12273, 20480},   // 15 left, then whole frames to a boundary
      {"aligned2", 20480, 24560},  // boundary to 16 short
      {"sixteen", 24560, 24580},   // 16 left stand alone, 4 more end it
      {"inside", 24580, 25000},    // within one frame
      {"hundred", 25000, 25100},   // within one frame
      {"single", 25100, 25101},    // one sample
      {"long_inside", 25101, 28655},
      {"seventeen", 28655, 0},  // 17 left, then the short last frame of the source
  };
  for (const Track& t : tracks)
    AddPoint(t.Start, 1000, t.Name);
  ASSERT_EQ(Cut(source), RunEndOfData) << ::testing::PrintToString(rc.Feedback.Messages);
  for (const Track& t : tracks)
    ExpectExact(source, t, 30000);
  // A track that starts on a frame of a fixed-blocksize source keeps its frames' numbers.
  EXPECT_FALSE(IsVariable(TrackPath("aligned")));
  EXPECT_TRUE(IsVariable(TrackPath("one_left")));
}

struct FormatCase {
  const char* Name;
  SourceSpec Spec;
};

class FlacFormatTest : public FlacCutTest, public ::testing::WithParamInterface<FormatCase> {};

// Tracks of every shape of source end to end equal it, and so does their join.
TEST_P(FlacFormatTest, TracksAndTheirJoinEqualTheSource) {
  const SourceSpec spec = GetParam().Spec;
  const std::string source = dir.File("source.flac");
  MakeFlac(spec, source);
  const uint64_t total = StreamInfoOf(source).TotalSamples;
  ASSERT_GT(total, 0u);
  std::vector<uint64_t> points;
  for (const uint64_t ms : {0, 777, 1901})
    points.push_back(AddPoint(ms, spec.Rate, "t" + std::to_string(points.size())));
  ASSERT_EQ(Cut(source), RunEndOfData) << ::testing::PrintToString(rc.Feedback.Messages);
  std::vector<uint8_t> joined;
  for (size_t i = 0; i < points.size(); ++i) {
    const Track t{"t" + std::to_string(i), points[i], i + 1 < points.size() ? points[i + 1] : 0};
    ExpectExact(source, t, total);
    const std::vector<uint8_t> raw = DecodeRaw(TrackPath(t.Name));
    joined.insert(joined.end(), raw.begin(), raw.end());
  }
  const std::vector<uint8_t> whole = DecodeRaw(source);
  EXPECT_TRUE(joined == whole);

  const std::string join = dir.File("join.flac");
  TFlacJoinWriter writer(join);
  for (size_t i = 0; i < points.size(); ++i)
    ASSERT_TRUE(writer.Append(TrackPath("t" + std::to_string(i))));
  writer.Finish();
  EXPECT_TRUE(DecodeRaw(join) == whole);
  EXPECT_TRUE(FlacTestPasses(join));
  EXPECT_EQ(StreamInfoOf(join).TotalSamples, total);
}

INSTANTIATE_TEST_SUITE_P(Sources, FlacFormatTest,
                         ::testing::Values(FormatCase{"cd1152", {44100, 2, 16, 1152, 3}},
                                           FormatCase{"cd4608", {44100, 2, 16, 4608, 3}},
                                           FormatCase{"hires", {96000, 2, 24, 4608, 2.5}},
                                           FormatCase{"mono8", {22050, 1, 8, 4096, 3}},
                                           FormatCase{"six", {48000, 6, 16, 4096, 2}}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(FlacCutTest, WholeFileIsCopiedFrameForFrame) {
  const std::string source = dir.File("whole.flac");
  MakeFlac({44100, 2, 16, 4096, 3}, source);
  AddPoint(0, 44100, "all");
  ASSERT_EQ(Cut(source), RunEndOfData);
  EXPECT_TRUE(FrameBodies(TrackPath("all")) == FrameBodies(source));
  EXPECT_EQ(StreamInfoOf(TrackPath("all")).Md5, StreamInfoOf(source).Md5);
  const std::vector<std::string> report = rc.Feedback.Reports.at(0);
  EXPECT_NE(std::find(report.begin(), report.end(), kSourceMd5Verified), report.end());
}

// A track that starts inside a frame is a variable-blocksize stream; cutting it again
// must work the same.
TEST_F(FlacCutTest, CutOfACut) {
  const std::string source = dir.File("first.flac");
  MakeFlac({44100, 2, 16, 4096, 4}, source);
  AddPoint(0, 44100, "");
  AddPoint(1000, 44100, "second");  // sample 44100: inside a frame
  ASSERT_EQ(Cut(source), RunEndOfData);
  const std::string second = dir.File("second.flac");
  ASSERT_EQ(std::rename(TrackPath("second").c_str(), second.c_str()), 0);
  const uint64_t total = StreamInfoOf(second).TotalSamples;
  list.Clear();
  AddPoint(0, 44100, "c0");
  AddPoint(511, 44100, "c1");
  AddPoint(2000, 44100, "c2");
  ASSERT_EQ(Cut(second), RunEndOfData);
  ExpectExact(second, {"c0", 0, 44100 * 511 / 1000}, total);
  ExpectExact(second, {"c1", 44100 * 511 / 1000, 44100 * 2}, total);
  ExpectExact(second, {"c2", 44100 * 2, 0}, total);
}

// A CD frame is rate/75 samples whatever the rate.
TEST_F(FlacCutTest, CueFramesAt96kHz) {
  const std::string source = dir.File("hires.flac");
  MakeFlac({96000, 2, 24, 4608, 3}, source);
  const std::vector<std::pair<int, int>> points = {{0, 0}, {1, 7}, {2, 74}};
  for (size_t i = 0; i < points.size(); ++i) {
    TCutPoint& point = list.Add();
    SetFrames(point, points[i].first, points[i].second);
    point.Name = "cue" + std::to_string(i);
  }
  ASSERT_EQ(Cut(source), RunEndOfData);
  const uint64_t total = StreamInfoOf(source).TotalSamples;
  ExpectExact(source, {"cue0", 0, 96000 + 7 * 1280}, total);
  ExpectExact(source, {"cue1", 96000 + 7 * 1280, 2 * 96000 + 74 * 1280}, total);
  ExpectExact(source, {"cue2", 2 * 96000 + 74 * 1280, 0}, total);
}

TEST_F(FlacCutTest, CorruptFrameStopsTheCutWithItsPosition) {
  const std::string source = dir.File("corrupt.flac");
  MakeFlac({44100, 2, 16, 4096, 3}, source);
  Bytes bytes = ReadFile(source);
  bytes[bytes.size() * 2 / 3] ^= 0x5A;
  WriteFile(source, bytes);
  AddPoint(0, 44100, "before");
  AddPoint(1000, 44100, "hit");  // the corrupt byte lies in this track
  EXPECT_EQ(Cut(source), RunFailed);
  ASSERT_FALSE(rc.Feedback.Messages.empty());
  EXPECT_NE(rc.Feedback.Messages[0].find("corrompue à l'octet"), std::string::npos);
  EXPECT_FALSE(FileExists(TrackPath("hit")));
  EXPECT_EQ(Status(2), "** erreur**");
}

TEST_F(FlacCutTest, SkippedEmptyAndUnreachedPoints) {
  const std::string source = dir.File("rows.flac");
  MakeFlac({44100, 2, 16, 4096, 2}, source);
  AddPoint(0, 44100, "");     // passed over
  AddPoint(500, 44100, "a");  // two points at one time: no file
  AddPoint(500, 44100, "b");
  AddPoint(5000, 44100, "late");
  ASSERT_EQ(Cut(source), RunEndOfData);
  EXPECT_EQ(Status(1), "sauté");
  EXPECT_EQ(Status(2), "vide");
  EXPECT_FALSE(FileExists(TrackPath("a")));
  EXPECT_EQ(Status(3), "fait");
  EXPECT_EQ(list[3].Report, std::vector<std::string>{"  non atteint"});
  EXPECT_FALSE(FileExists(TrackPath("late")));
  ExpectExact(source, {"b", 22050, 0}, StreamInfoOf(source).TotalSamples);
}

TEST_F(FlacCutTest, NonFlacSourceIsRefused) {
  const std::string source = dir.File("not.flac");
  WriteFile(source, Bytes(1000, 0x20));
  AddPoint(0, 44100, "x");
  EXPECT_EQ(Cut(source), RunFailed);
  EXPECT_EQ(rc.Feedback.Messages.at(0), "Source invalide.");
}

TEST_F(FlacCutTest, JoinRefusesAnotherRate) {
  const std::string a = dir.File("a.flac");
  const std::string b = dir.File("b.flac");
  MakeFlac({44100, 2, 16, 4096, 1}, a);
  MakeFlac({48000, 2, 16, 4096, 1}, b);
  TFlacJoinWriter writer(dir.File("join.flac"));
  ASSERT_TRUE(writer.Append(a));
  try {
    writer.Append(b);
    FAIL() << "joined another rate";
  } catch (const TRunError& e) {
    EXPECT_EQ(std::string(e.what()), b + " : 48000 Hz, la sortie est à 44100 Hz.");
  }
  writer.Finish();
  EXPECT_TRUE(DecodeRaw(dir.File("join.flac")) == DecodeRaw(a));
}

}  // namespace
}  // namespace zembrio::test
