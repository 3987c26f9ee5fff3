// Cuts of Opus sources made by sox and opusenc, judged by libopusfile, ffmpeg and opusinfo:
// every fragment holds exactly its stretch, plays as the source does, and the fragments of
// a cut joined into a chain play as long as the source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "app/sourceformat.h"
#include "core/settings.h"
#include "core/timevalue.h"
#include "framebuilder.h"
#include "opus/opuscut.h"
#include "opustools.h"
#include "recordingfeedback.h"
#include "settingsguard.h"

namespace zembrio::test {
namespace {

namespace fs = std::filesystem;

struct Stretch {
  std::string Name;
  int64_t Start = 0;
  int64_t End = 0;
};

class OpusCutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTools({"sox", "opusenc"}))
      GTEST_SKIP() << "sox and opusenc are needed";
    Settings().ID3V2TAG = 0;
  }

  // A point at ms milliseconds; its sample at 48 kHz.
  int64_t AddPoint(int32_t ms, const std::string& name) {
    TCutPoint& point = list.Add();
    SetMilliseconds(point, ms / 1000, ms % 1000);
    point.Name = name;
    return PositionAt(point, 48000);
  }

  TRunOutcome Cut(const std::string& path) {
    TOpusCutRun run{path, out};
    run.Tags = Settings().ID3V2TAG != 0;
    return CutOpus(rc.Context, list, run);
  }

  std::string FragmentPath(const std::string& name, const char* extension = ".opus") const {
    return out + "/" + name + extension;
  }

  // The stretches of the named points of list, the last one to the source's end.
  std::vector<Stretch> Stretches(int64_t total) const {
    std::vector<Stretch> stretches;
    for (int i = 0; i < list.Count(); ++i) {
      const int64_t start = PositionAt(list[i], 48000);
      const int64_t end = i + 1 < list.Count() ? PositionAt(list[i + 1], 48000) : total;
      if (!list[i].Name.empty())
        stretches.push_back({list[i].Name, start, end});
    }
    return stretches;
  }

  // Lengths by three readers; samples against the source's decode: identical when the
  // fragment's decoder started where the source's did, within tolerance otherwise.
  void ExpectExact(const Decoded& source, const Stretch& s, double tolerance) {
    SCOPED_TRACE(s.Name);
    const std::string path = FragmentPath(s.Name);
    const Decoded fragment = DecodeOpus(path);
    ASSERT_TRUE(fragment.Opened);
    const int64_t length = s.End - s.Start;
    EXPECT_EQ(fragment.Total, length);
    ASSERT_EQ(fragment.Frames(), length);
    if (HaveTools({"ffmpeg"})) {
      EXPECT_EQ(FfmpegFrames(path, fragment.Channels), length);
    }
    if (HaveTools({"opusinfo"})) {
      const std::string info = ShellOutput("opusinfo '" + path + "'");
      EXPECT_EQ(info.find("WARNING"), std::string::npos) << info;
    }
    const int channels = source.Channels;
    const float* expected = source.Samples.data() + s.Start * channels;
    float worst = 0;
    for (int64_t i = 0; i < length * channels; ++i)
      worst = std::max(worst, std::fabs(fragment.Samples[static_cast<size_t>(i)] - expected[i]));
    if (s.Start + 312 <= kOpusPreRoll)
      EXPECT_EQ(worst, 0.0f);
    else
      EXPECT_LE(worst, tolerance);
  }

  // The fragments joined by the raw join, a chain, as long as the source.
  void ExpectChainLength(const std::vector<Stretch>& stretches, int64_t total) {
    TJoinList rows(stretches.size());
    for (size_t i = 0; i < stretches.size(); ++i) {
      rows[i].Name = stretches[i].Name + ".opus";
      rows[i].Folder = out + "/";
    }
    struct NoView : IJoinView {
      void RowChanged(int) override {}
    } view;
    const std::string joined = dir.File("joined.opus");
    JoinSources(rc.Context, rows, view, joined, "", false);
    const Decoded chain = DecodeOpus(joined);
    ASSERT_TRUE(chain.Opened);
    EXPECT_EQ(chain.Total, total);
    EXPECT_EQ(chain.Frames(), total);
  }

  SettingsGuard guard;
  TempDir dir;
  std::string out = dir.File("out");
  RecordingContext rc;
  TCPList list;
};

TEST_F(OpusCutTest, MusicFragmentsHoldTheirStretchesAndPlayAsTheSource) {
  const std::string source = dir.File("music.opus");
  MakeOpus(OpusKind::Music, 6, source);
  const Decoded whole = DecodeOpus(source);
  ASSERT_TRUE(whole.Opened);
  // Inside the first second, on a packet boundary (20 ms), between packets, a short one,
  // and one to the end.
  AddPoint(0, "a");
  AddPoint(700, "b");
  AddPoint(2000, "c");
  AddPoint(3333, "d");
  AddPoint(3400, "e");
  ASSERT_EQ(Cut(source), RunEndOfData);
  EXPECT_EQ(rc.Feedback.Messages, std::vector<std::string>{});
  const auto stretches = Stretches(whole.Total);
  for (const Stretch& s : stretches)
    ExpectExact(whole, s, 1e-4);
  ExpectChainLength(stretches, whole.Total);
}

TEST_F(OpusCutTest, SpeechFragmentsStayWithinTheDecodersSettling) {
  const std::string source = dir.File("talk.opus");
  MakeOpus(OpusKind::Speech, 5, source);
  const Decoded whole = DecodeOpus(source);
  ASSERT_TRUE(whole.Opened);
  AddPoint(0, "");  // the opening is passed over
  AddPoint(1250, "one");
  AddPoint(2987, "two");
  ASSERT_EQ(Cut(source), RunEndOfData);
  EXPECT_FALSE(fs::exists(FragmentPath("")));
  for (const Stretch& s : Stretches(whole.Total))
    ExpectExact(whole, s, 0.01);
  EXPECT_EQ(rc.Feedback.RowStatus[1], "sauté");
}

// The source's own comments stay, its loudness of the whole goes, the track list's fields
// come in; a source named .ogg gives .ogg fragments, and the seam takes it by content.
TEST_F(OpusCutTest, FragmentsCarryTheTrackListsCommentsAndTheSourcesOthers) {
  const std::string source = dir.File("album.ogg");
  MakeOpus(OpusKind::Music, 3, source,
           "--comment R128_TRACK_GAIN=-512 --comment COMPOSER=Satie --comment TITLE=Tout");
  Settings().ID3V2TAG = 1;
  list.Album.Album = "Gymnopédies";
  list.Album.AlbumArtist = "Orchestre";
  AddPoint(0, "first");
  AddPoint(1500, "second");
  list[1].Title = "Lent et douloureux";
  ASSERT_EQ(CutSource(rc.Context, list, source, out, false), RunEndOfData);
  const std::string second = FragmentPath("second", ".ogg");
  ASSERT_TRUE(fs::exists(second));
  EXPECT_EQ(OpusComments(second, "TITLE"), std::vector<std::string>{"Lent et douloureux"});
  EXPECT_EQ(OpusComments(second, "ALBUM"), std::vector<std::string>{"Gymnopédies"});
  EXPECT_EQ(OpusComments(second, "TRACKNUMBER"), std::vector<std::string>{"2"});
  EXPECT_EQ(OpusComments(second, "TRACKTOTAL"), std::vector<std::string>{"2"});
  EXPECT_EQ(OpusComments(second, "COMPOSER"), std::vector<std::string>{"Satie"});
  EXPECT_TRUE(OpusComments(second, "R128_TRACK_GAIN").empty());
  EXPECT_EQ(OpusComments(FragmentPath("first", ".ogg"), "TITLE"),
            std::vector<std::string>{"first"});

  Settings().ID3V2TAG = 0;
  rc.State.OverwriteAll = true;
  rc.Questions.OverwriteAnswers.push_back({TOverwriteChoice::OverwriteAll, ""});
  ASSERT_EQ(CutSource(rc.Context, list, source, out, false), RunEndOfData);
  EXPECT_EQ(OpusComments(second, "TITLE"), std::vector<std::string>{"Tout"});
  EXPECT_TRUE(OpusComments(second, "TRACKNUMBER").empty());
  EXPECT_TRUE(OpusComments(second, "R128_TRACK_GAIN").empty());
}

TEST_F(OpusCutTest, PointsPastTheEndOrTogetherWriteNothing) {
  const std::string source = dir.File("short.opus");
  MakeOpus(OpusKind::Music, 2, source);
  AddPoint(0, "a");
  AddPoint(1000, "same");
  AddPoint(1000, "b");
  AddPoint(9000, "late");
  ASSERT_EQ(Cut(source), RunEndOfData);
  EXPECT_EQ(rc.Feedback.RowStatus[1], "fait");
  EXPECT_EQ(rc.Feedback.RowStatus[2], "vide");
  EXPECT_EQ(rc.Feedback.RowStatus[3], "fait");
  EXPECT_EQ(rc.Feedback.RowStatus.count(4) == 0 || rc.Feedback.RowStatus[4].empty(), true);
  EXPECT_EQ(list[3].Report, std::vector<std::string>{"  non atteint"});
  // Said, not left to the report alone; the empty "same" is not past the end.
  EXPECT_EQ(rc.Feedback.Messages,
            std::vector<std::string>{
                "Point de coupe au-delà de la fin de la source, non atteint : late (00m 09s 00f)"});
  EXPECT_FALSE(fs::exists(FragmentPath("same")));
  EXPECT_FALSE(fs::exists(FragmentPath("late")));
  EXPECT_EQ(DecodeOpus(FragmentPath("b")).Total, DecodeOpus(source).Total - 48000);
}

// A source cut short (a download that stopped) still cuts: its last fragment ends with the
// last whole page, as players end it.
TEST_F(OpusCutTest, ATruncatedSourceEndsWhereItsLastPageEnds) {
  const std::string source = dir.File("cut-short.opus");
  MakeOpus(OpusKind::Music, 4, source);
  fs::resize_file(source, fs::file_size(source) * 2 / 3);
  const Decoded whole = DecodeOpus(source);
  ASSERT_TRUE(whole.Opened);
  AddPoint(0, "a");
  AddPoint(1500, "b");
  ASSERT_EQ(Cut(source), RunEndOfData);
  const auto stretches = Stretches(whole.Total);
  for (const Stretch& s : stretches)
    ExpectExact(whole, s, 1e-4);
}

// A damaged page makes later positions unknowable: the cut stops, the fragment being
// written goes, the ones before it stay whole.
TEST_F(OpusCutTest, ADamagedPageStopsTheCutAndDropsTheFragmentInProgress) {
  const std::string source = dir.File("damaged.opus");
  MakeOpus(OpusKind::Music, 4, source);
  Bytes bytes = ReadFile(source);
  bytes[bytes.size() * 3 / 4] ^= 0x55;
  WriteFile(source, bytes);
  AddPoint(0, "a");
  AddPoint(1000, "b");
  EXPECT_EQ(Cut(source), RunFailed);
  ASSERT_EQ(rc.Feedback.Messages.size(), 2u);
  EXPECT_EQ(rc.Feedback.Messages[0].rfind("Flux Opus endommagé", 0), 0u);
  EXPECT_TRUE(fs::exists(FragmentPath("a")));
  EXPECT_FALSE(fs::exists(FragmentPath("b")));
  EXPECT_EQ(rc.Feedback.RowStatus[1], "fait");
  EXPECT_EQ(rc.Feedback.RowStatus[2], "** erreur**");
}

// Links of a chain each have their own pre-skip and positions: the cut refuses the file
// rather than cut its first link alone.
TEST_F(OpusCutTest, AChainedSourceIsRefusedAndNothingWritten) {
  const std::string first = dir.File("first.opus");
  const std::string second = dir.File("second.opus");
  MakeOpus(OpusKind::Music, 2, first);
  MakeOpus(OpusKind::Speech, 2, second);
  Bytes chain = ReadFile(first);
  Append(chain, ReadFile(second));
  const std::string source = dir.File("chain.opus");
  WriteFile(source, chain);
  AddPoint(0, "a");
  AddPoint(1000, "b");
  EXPECT_EQ(Cut(source), RunFailed);
  ASSERT_FALSE(rc.Feedback.Messages.empty());
  EXPECT_EQ(rc.Feedback.Messages[0].rfind("Source Opus chaînée", 0), 0u);
  EXPECT_FALSE(fs::exists(FragmentPath("a")));
  EXPECT_FALSE(fs::exists(FragmentPath("b")));

  // A stream followed by bytes that are no page is no chain.
  Bytes trailed = ReadFile(first);
  Append(trailed, Garbage(5000));
  WriteFile(source, trailed);
  rc.Feedback.Messages.clear();
  EXPECT_EQ(Cut(source), RunEndOfData);
  EXPECT_TRUE(fs::exists(FragmentPath("b")));
}

// A batch script holds the commands of an outside cutter: Opus, like FLAC and WAV, is cut
// by the program itself, batch or not, and no script is written.
TEST_F(OpusCutTest, ABatchRunCutsAsAnyOther) {
  const std::string source = dir.File("music.opus");
  MakeOpus(OpusKind::Music, 2, source);
  AddPoint(0, "a");
  AddPoint(1000, "b");
  ASSERT_EQ(CutSource(rc.Context, list, source, out, true), RunEndOfData);
  EXPECT_TRUE(fs::exists(FragmentPath("a")));
  EXPECT_TRUE(fs::exists(FragmentPath("b")));
}

TEST_F(OpusCutTest, AnAbortDropsTheFragmentInProgress) {
  const std::string source = dir.File("music.opus");
  MakeOpus(OpusKind::Music, 3, source);
  AddPoint(0, "a");
  AddPoint(1000, "b");
  rc.Feedback.OnEvents = [this] {
    const auto& rows = rc.Feedback.SelectedRows;
    if (std::find(rows.begin(), rows.end(), 2) != rows.end())
      rc.State.AbortRequested = true;
  };
  EXPECT_EQ(Cut(source), RunAborted);
  EXPECT_TRUE(fs::exists(FragmentPath("a")));
  EXPECT_FALSE(fs::exists(FragmentPath("b")));
  EXPECT_EQ(rc.Feedback.RowStatus[2], "**    abandon **");
  EXPECT_EQ(rc.Feedback.Messages, std::vector<std::string>{"  Abandon ."});
}

// The window's sound side reads Opus through the seam: length and a stretch on its own.
TEST_F(OpusCutTest, TheDecoderCountsSamplesAsTheCutDoes) {
  const std::string source = dir.File("music.opus");
  MakeOpus(OpusKind::Music, 3, source);
  const Decoded whole = DecodeOpus(source);
  const TSourceFormat* format = SourceFormatOf(source);
  ASSERT_NE(format, nullptr);
  const TSourceInfo info = format->Probe(source);
  EXPECT_EQ(info.SampleRate, 48000);
  EXPECT_EQ(info.Channels, 2);
  EXPECT_EQ(info.TotalSamples, whole.Total);
  auto decoder = format->OpenDecoder(source);
  int64_t frames = 0;
  TPcmBlock block;
  while (decoder->Next(block)) {
    EXPECT_EQ(block.StartSample, frames);
    frames += block.Frames;
  }
  EXPECT_EQ(frames, whole.Total);
}

}  // namespace
}  // namespace zembrio::test
