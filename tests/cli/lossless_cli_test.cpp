// Album images in FLAC and WAV through zembrio-cli as a user runs it: a CUE sheet beside the
// image or inside it, tracks judged by flac's own decoder and metaflac, the statistics, the
// joins and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "clirunner.h"
#include "framebuilder.h"

namespace zembrio::test {
namespace {

namespace fs = std::filesystem;

// 6 s of stereo 44.1 kHz: tracks start at 0, 2 s + 10 CD frames and 4 s + 1 CD frame.
constexpr int kRate = 44100;
const uint64_t kStarts[] = {0, 2 * kRate + 10 * 588, 4 * kRate + 588};
constexpr uint64_t kTotal = 6 * kRate;

const char* kSheet =
    "PERFORMER \"The Band\"\n"
    "TITLE \"Live Image\"\n"
    "REM DATE 1999\n"
    "FILE \"image.flac\" WAVE\n"
    "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
    "  TRACK 02 AUDIO\n    TITLE \"Two/Three\"\n    INDEX 01 00:02:10\n"
    "  TRACK 03 AUDIO\n    TITLE \"Four\"\n    INDEX 01 00:04:01\n";

class LosslessCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"sox", "flac", "metaflac"}) {
      if (!HaveProgram(tool))
        GTEST_SKIP() << tool << " is not installed";
    }
  }

  ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), {"--ini", dir_.File("zembrio.ini")});
    return RunCli(args, dir_.Path());
  }
  ProcessResult Tool(const std::string& program, const std::vector<std::string>& args) {
    return RunProgram(program, args, dir_.Path());
  }
  std::string Path(const std::string& name) const { return dir_.File(name); }

  void MakeWav(const std::string& name) {
    ASSERT_EQ(Tool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", name, "synth", "6",
                           "pinknoise", "sine", "440", "vol", "0.5"})
                  .Exit,
              0);
  }
  void MakeFlac(const std::string& name) {
    MakeWav("image.wav");
    ASSERT_EQ(Tool("flac", {"-s", "-f", "--blocksize=4608", "-o", name, "image.wav"}).Exit, 0);
  }
  void WriteText(const std::string& name, const std::string& text) {
    std::ofstream(Path(name)) << text;
  }
  // Samples first..end of a FLAC file as flac decodes them, raw.
  Bytes Decoded(const std::string& name, uint64_t first = 0, uint64_t end = 0) {
    std::vector<std::string> args = {
        "-s", "-d",         "-f", "--force-raw-format", "--endian=little", "--sign=signed",
        "-o", "decoded.raw"};
    if (first > 0)
      args.push_back("--skip=" + std::to_string(first));
    if (end > 0)
      args.push_back("--until=" + std::to_string(end));
    args.push_back(name);
    EXPECT_EQ(Tool("flac", args).Exit, 0) << name;
    return ReadFile(Path("decoded.raw"));
  }
  // The samples of a WAV file: what its "data" chunk holds.
  static Bytes DataOf(const Bytes& wav) {
    const std::string text(wav.begin(), wav.end());
    const size_t at = text.find("data", 12);
    EXPECT_NE(at, std::string::npos);
    return at == std::string::npos ? Bytes{}
                                   : Bytes(wav.begin() + static_cast<long>(at) + 8, wav.end());
  }
  // What mutagen, the tag library of many players and taggers, reads: expression of the
  // file sys.argv[1], printed (Debian's python3-mutagen, which the test command installs).
  std::string Mutagen(const std::string& expression, const std::string& name) {
    const auto run =
        Tool("/usr/bin/python3",
             {"-c", "import sys, mutagen.flac, mutagen.wave\nprint(" + expression + ")", name});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    return run.Out;
  }
  std::string Tag(const std::string& name, const std::string& field) {
    return Tool("metaflac", {"--show-tag=" + field, name}).Out;
  }

  TempDir dir_;
};

TEST_F(LosslessCliTest, AFlacImageWithItsSheetGivesExactVerifiedTaggedTracks) {
  MakeFlac("image.flac");
  WriteText("image.cue", kSheet);
  const auto cut = Cli({"cut", "image.flac", "--cue", "image.cue", "--dest", "tracks"});
  ASSERT_EQ(cut.Exit, 0) << cut.Err;
  EXPECT_NE(cut.Out.find("MD5 source: vérifié"), std::string::npos) << cut.Out;

  const std::string names[] = {"tracks/01 One.flac", "tracks/02 Two-Three.flac",
                               "tracks/03 Four.flac"};
  Bytes joined;
  for (int i = 0; i < 3; ++i) {
    const std::string& track = names[i];
    ASSERT_TRUE(fs::exists(Path(track))) << track << "\n" << cut.Out;
    EXPECT_EQ(Tool("flac", {"-t", "-s", track}).Exit, 0) << track;
    const uint64_t end = i < 2 ? kStarts[i + 1] : 0;
    const Bytes samples = Decoded(track);
    EXPECT_TRUE(samples == Decoded("image.flac", kStarts[i], end)) << track;
    Append(joined, samples);
    EXPECT_EQ(Tag(track, "TRACKNUMBER"), "TRACKNUMBER=" + std::to_string(i + 1) + "\n");
    EXPECT_EQ(Tag(track, "ALBUM"), "ALBUM=Live Image\n");
  }
  EXPECT_TRUE(joined == Decoded("image.flac"));
  EXPECT_EQ(Tag(names[1], "TITLE"), "TITLE=Two/Three\n");  // whole in the tag
  EXPECT_EQ(Mutagen("mutagen.flac.FLAC(sys.argv[1])['tracktotal'][0]", names[2]), "3\n");

  // The tracks joined again: one stream whose decode is the image's.
  const auto join = Cli({"join", "--output", "whole.flac", names[0], names[1], names[2]});
  ASSERT_EQ(join.Exit, 0) << join.Err;
  EXPECT_EQ(Tool("flac", {"-t", "-s", "whole.flac"}).Exit, 0);
  EXPECT_TRUE(Decoded("whole.flac") == Decoded("image.flac"));

  const auto stats = Cli({"stats", "image.flac"});
  EXPECT_EQ(stats.Exit, 0) << stats.Err;
  EXPECT_NE(stats.Out.find("MD5 source: vérifié"), std::string::npos) << stats.Out;
}

TEST_F(LosslessCliTest, ASheetInsideTheFlacIsTheTrackListBesideIt) {
  MakeFlac("image.flac");
  WriteText("sheet.cue", kSheet);
  ASSERT_EQ(Tool("metaflac", {"--import-cuesheet-from=sheet.cue", "image.flac"}).Exit, 0);
  const auto dry = Cli({"cut", "image.flac", "--beside", "--dry-run"});
  ASSERT_EQ(dry.Exit, 0) << dry.Err;
  const auto cut = Cli({"cut", "image.flac", "--beside", "--dest", "tracks"});
  ASSERT_EQ(cut.Exit, 0) << cut.Err;
  int tracks = 0;
  for (const auto& entry : fs::directory_iterator(Path("tracks"))) {
    ++tracks;
    EXPECT_EQ(Tag(entry.path().string(), "CUESHEET"), "") << entry.path();
    EXPECT_EQ(Tool("metaflac", {"--export-cuesheet-to=-", entry.path().string()}).Exit == 0, false)
        << "a track carries the album's CUESHEET block";
  }
  EXPECT_EQ(tracks, 3) << dry.Out;
  // Tracks put end to end are the image again.
  Bytes joined;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Path("tracks")))
    names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  for (const std::string& name : names)
    Append(joined, Decoded(name));
  EXPECT_TRUE(joined == Decoded("image.flac"));
}

TEST_F(LosslessCliTest, AWavImageIsSlicedJoinedAndMeasured) {
  MakeWav("image.wav");
  const auto cut = Cli({"cut", "image.wav", "--point", "0=a", "--point", "2s 10f=b", "--point",
                        "4s 1f=c", "--dest", "tracks", "--set", "ID3V2TAG=0"});
  ASSERT_EQ(cut.Exit, 0) << cut.Err;
  const Bytes source = DataOf(ReadFile(Path("image.wav")));
  ASSERT_EQ(source.size(), kTotal * 4);
  const uint64_t ends[] = {kStarts[1], kStarts[2], kTotal};
  Bytes joined;
  int i = 0;
  for (const char* name : {"a", "b", "c"}) {
    const Bytes track = DataOf(ReadFile(Path(std::string("tracks/") + name + ".wav")));
    EXPECT_EQ(track.size(), (ends[i] - kStarts[i]) * 4) << name;
    Append(joined, track);
    ++i;
  }
  EXPECT_TRUE(joined == source);

  const auto join =
      Cli({"join", "--output", "whole.wav", "tracks/a.wav", "tracks/b.wav", "tracks/c.wav"});
  ASSERT_EQ(join.Exit, 0) << join.Err;
  EXPECT_TRUE(DataOf(ReadFile(Path("whole.wav"))) == source);

  // With tags on (the default), a track's title and number are in its id3 chunk.
  ASSERT_EQ(Cli({"cut", "image.wav", "--point", "0=a", "--point", "3s=b", "--dest", "tagged"}).Exit,
            0);
  const std::string title = Mutagen("mutagen.wave.WAVE(sys.argv[1]).tags['TIT2']", "tagged/b.wav");
  EXPECT_EQ(title, "b\n");
  EXPECT_TRUE(DataOf(ReadFile(Path("tagged/a.wav"))).size() == 3 * kRate * 4);

  const auto levels = Cli({"levels", "image.wav", "--step", "1s"});
  EXPECT_EQ(levels.Exit, 0) << levels.Err;
  EXPECT_EQ(std::count(levels.Out.begin(), levels.Out.end(), '\n'), 6) << levels.Out;
  EXPECT_EQ(Cli({"stats", "image.wav"}).Exit, 0);
}

// A named point past the image's end is said on standard error, --quiet or not, as for MPEG;
// an unnamed one is passed over without a word; the cut still succeeds.
TEST_F(LosslessCliTest, PointsPastTheEndOfAnImageAreSaid) {
  MakeFlac("image.flac");
  for (const char* source : {"image.flac", "image.wav"}) {
    SCOPED_TRACE(source);
    const auto cut = Cli({"cut", source, "--point", "0=a", "--point", "3s=b", "--point", "7s=late",
                          "--point", "8s", "--dest", "past", "--quiet"});
    EXPECT_EQ(cut.Exit, 0) << cut.Err;
    EXPECT_EQ(cut.Err,
              "Point de coupe au-delà de la fin de la source, non atteint : late (00m 07s 00f)\n");
    fs::remove_all(Path("past"));
  }
}

TEST_F(LosslessCliTest, JoinsOfDifferentKindsOrFormatsAreRefusedAndWriteNothing) {
  MakeFlac("image.flac");
  ASSERT_EQ(Tool("sox", {"-n", "-r", "48000", "-c", "2", "-b", "16", "other.wav", "synth", "1",
                         "sine", "300"})
                .Exit,
            0);
  const auto mixed = Cli({"join", "--output", "mixed.flac", "image.flac", "image.wav"});
  EXPECT_EQ(mixed.Exit, 1);
  EXPECT_NE(mixed.Err.find("formats différents"), std::string::npos) << mixed.Err;
  EXPECT_FALSE(fs::exists(Path("mixed.flac")));

  const auto rates = Cli({"join", "--output", "rates.wav", "image.wav", "other.wav"});
  EXPECT_EQ(rates.Exit, 1);
  EXPECT_NE(rates.Err.find("48000 Hz, la sortie est à 44100 Hz"), std::string::npos) << rates.Err;
  EXPECT_FALSE(fs::exists(Path("rates.wav")));

  std::ofstream(Path("notes.flac")) << "not audio";
  const auto junk = Cli({"cut", "notes.flac", "--point", "1s=x"});
  EXPECT_EQ(junk.Exit, 1);
  EXPECT_NE(junk.Err.find("format non reconnu"), std::string::npos) << junk.Err;
}

}  // namespace
}  // namespace zembrio::test
