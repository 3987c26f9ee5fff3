// zembrio-cli tested from outside: exit status, standard output and standard error, and the
// files it leaves, on generated streams and on files made by a real encoder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "clirunner.h"
#include "framebuilder.h"

namespace zembrio::test {
namespace {

std::string AsText(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Binary contents compared without printing them when they differ.
::testing::AssertionResult SameContent(const std::string& actual, const std::string& expected) {
  if (actual == expected)
    return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
    ++at;
  return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                       << ", first difference at byte " << at;
}

int CountLines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

class CliTest : public ::testing::Test {
 protected:
  // Every run reads a settings file of its own (absent: the defaults); the outputs are
  // compared byte for byte with frames of the sources, so without a header frame or a tag.
  ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), {"--ini", dir_.File("zembrio.ini"), "--set", "XINGHEADER=0", "--set",
                               "ID3V2TAG=0"});
    return RunCli(args, dir_.Path());
  }
  std::string MakeSource(const std::string& name, const Bytes& bytes) {
    WriteFile(dir_.File(name), bytes);
    return dir_.File(name);
  }
  std::string Read(const std::string& name) { return AsText(ReadFile(dir_.File(name))); }
  bool Exists(const std::string& name) { return std::filesystem::exists(dir_.File(name)); }

  TempDir dir_;
};

TEST_F(CliTest, VersionHelpAndBadUsage) {
  const auto version = Cli({"--version"});
  EXPECT_EQ(version.Exit, 0);
  EXPECT_NE(version.Out.find(ZEMBRIO_VERSION), std::string::npos);
  EXPECT_EQ(Cli({"--help"}).Exit, 0);

  const auto bad = Cli({"cut", "song.mp3", "--frobnicate"});
  EXPECT_EQ(bad.Exit, 2);
  EXPECT_EQ(CountLines(bad.Err), 1) << bad.Err;
  const auto badSetting = Cli({"stats", "song.mp3", "--set", "NOSUCHKEY=1"});
  EXPECT_EQ(badSetting.Exit, 2);
  // A bare number is a fraction: 600 CD frames is no time at all, and the script is told.
  WriteFile(dir_.File("song.mp3"), Frames(FrameSpec{}, 5));
  const auto badTime = Cli({"cut", "song.mp3", "--point", "600=x", "--dry-run"});
  EXPECT_EQ(badTime.Exit, 2);
  EXPECT_NE(badTime.Err.find("600"), std::string::npos);
}

TEST_F(CliTest, MissingSourceIsOneClearLine) {
  const auto result = Cli({"cut", "nowhere.mp3", "--point", "1s=a"});
  EXPECT_EQ(result.Exit, 1);
  EXPECT_EQ(CountLines(result.Err), 1) << result.Err;
  EXPECT_NE(result.Err.find("nowhere.mp3"), std::string::npos);
}

TEST_F(CliTest, CutFragmentsPutBackTogetherAreTheSource) {
  const Bytes stream = Frames(FrameSpec{}, 100);  // 100 x 26.1 ms
  MakeSource("song.mp3", stream);
  const auto result =
      Cli({"cut", "song.mp3", "--point", "0=a", "--point", "1s=b", "--point", "2s=c"});
  ASSERT_EQ(result.Exit, 0) << result.Err;
  EXPECT_TRUE(SameContent(Read("a.mp3") + Read("b.mp3") + Read("c.mp3"), AsText(stream)));
  EXPECT_NE(result.Out.find("Fragment 3"), std::string::npos) << result.Out;
  EXPECT_NE(result.Out.find(" fait"), std::string::npos);
}

TEST_F(CliTest, DryRunShowsTheGridAndWritesNothing) {
  MakeSource("song.mp3", Frames(FrameSpec{}, 10));
  const auto result = Cli(
      {"cut", "song.mp3", "--point", "1:30=late", "--point", "1s=x", "--dest", "out", "--dry-run"});
  ASSERT_EQ(result.Exit, 0) << result.Err;
  EXPECT_EQ(result.Out,
            "00m 00s 00f\t\t00m 01s 00f\n"
            "00m 01s 00f\tx\t00m 59s 30f\n"  // 1:30 is one minute and 30 frames
            "01m 00s 30f\tlate\t(---> fin)\n");
  EXPECT_FALSE(Exists("out"));
}

TEST_F(CliTest, OverwritePolicies) {
  MakeSource("song.mp3", Frames(FrameSpec{}, 50));
  WriteFile(dir_.File("a.mp3"), {'k', 'e', 'e', 'p'});

  // Without a terminal the default is never: the existing file stays whole.
  const auto never = Cli({"cut", "song.mp3", "--point", "0=a", "--point", "1s=b"});
  EXPECT_EQ(never.Exit, 1);
  EXPECT_EQ(Read("a.mp3"), "keep");
  EXPECT_NE(never.Err.find("a.mp3"), std::string::npos);

  EXPECT_FALSE(Exists("b.mp3"));

  const auto all =
      Cli({"cut", "song.mp3", "--point", "0=a", "--point", "1s=b", "--overwrite", "all"});
  EXPECT_EQ(all.Exit, 0) << all.Err;
  EXPECT_TRUE(SameContent(Read("a.mp3") + Read("b.mp3"), Read("song.mp3")));
}

TEST_F(CliTest, TheSourceIsNeverAnOutput) {
  MakeSource("song.mp3", Frames(FrameSpec{}, 20));
  const auto result =
      Cli({"cut", "song.mp3", "--point", "0=x", "--point", "0s 10f=song", "--overwrite", "all"});
  EXPECT_EQ(result.Exit, 1);
  EXPECT_NE(result.Err.find("Fichier source non écrasable!"), std::string::npos) << result.Err;
  EXPECT_TRUE(SameContent(Read("song.mp3"), AsText(Frames(FrameSpec{}, 20))));
}

TEST_F(CliTest, StatisticsReportAndDetailListing) {
  MakeSource("song.mp3", Frames(FrameSpec{}, 1000));
  const auto result = Cli({"stats", "song.mp3", "--detail"});
  ASSERT_EQ(result.Exit, 0) << result.Err;
  EXPECT_NE(result.Out.find("Total frames: 1000\n"), std::string::npos) << result.Out;
  EXPECT_NE(result.Out.find("Nom fich:  " + dir_.File("song.mp3") + "\n"), std::string::npos);
  EXPECT_NE(result.Out.find(std::string(50, '|') + "    128 - 1000 - 100.0%"), std::string::npos);
  const std::string detail = Read("song.mp3.txt");
  EXPECT_EQ(detail.rfind("Fr:     1  S ", 0), 0u) << detail.substr(0, 80);
  EXPECT_NE(detail.find("\r\n"), std::string::npos);
  EXPECT_NE(detail.find("Total frames: 1000\r\n"), std::string::npos);
}

TEST_F(CliTest, CueSheetBecomesTheCutList) {
  MakeSource("song.mp3", Frames(FrameSpec{}, 10));
  WriteFile(dir_.File("song.cue"), [] {
    const std::string sheet =
        "PERFORMER \"Band\"\nTITLE \"Disc\"\nFILE \"song.wav\" WAVE\n"
        "  TRACK 01 AUDIO\n    TITLE \"Intro\"\n    INDEX 01 00:00:00\n"
        "  TRACK 02 AUDIO\n    TITLE \"AC/DC: Live?\"\n    INDEX 01 03:25:10\n";
    return Bytes(sheet.begin(), sheet.end());
  }());
  const auto viaCue = Cli({"cut", "song.mp3", "--cue", "song.cue", "--dry-run"});
  ASSERT_EQ(viaCue.Exit, 0) << viaCue.Err;
  EXPECT_EQ(viaCue.Out,
            "00m 00s 00f\t01 Intro\t03m 25s 10f\n"
            "03m 25s 10f\t02 AC-DC- Live-\t(---> fin)\n");
  EXPECT_EQ(Cli({"cut", "song.mp3", "--beside", "--dry-run"}).Out, viaCue.Out);

  // Written back as a sheet, the list reads the same.
  const auto written =
      Cli({"cut", "song.mp3", "--cue", "song.cue", "--dry-run", "--write-cue", "saved.cue"});
  ASSERT_EQ(written.Exit, 0) << written.Err;
  EXPECT_EQ(Cli({"cut", "song.mp3", "--cue", "saved.cue", "--dry-run"}).Out, viaCue.Out);
}

// A Cyrillic sheet from a Windows ripper: read in 1252 unless told its code page.
TEST_F(CliTest, CueSheetInItsCodePage) {
  MakeSource("song.mp3", Frames(FrameSpec{}, 10));
  const std::string sheet =
      "FILE \"song.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"\xD2\xF0\xE5\xEA 01\"\n"
      "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:00:10\n";
  WriteFile(dir_.File("song.cue"), Bytes(sheet.begin(), sheet.end()));
  const auto asBefore = Cli({"cut", "song.mp3", "--beside", "--dry-run"});
  EXPECT_NE(asBefore.Out.find("\t01 Òðåê 01\t"), std::string::npos) << asBefore.Out;
  for (const char* codePage : {"LISTCODEPAGE=1251", "LISTCODEPAGE=0"}) {
    const auto cyrillic = Cli({"cut", "song.mp3", "--beside", "--dry-run", "--set", codePage});
    ASSERT_EQ(cyrillic.Exit, 0) << cyrillic.Err;
    EXPECT_NE(cyrillic.Out.find("\t01 Трек 01\t"), std::string::npos) << cyrillic.Out;
  }
}

TEST_F(CliTest, JoinCopiesFramesAndDropsTags) {
  Bytes first = Frames(FrameSpec{}, 30);
  Bytes tagged = Id3v2Tag(300);
  Append(tagged, Frames(FrameSpec{}, 20));
  Append(tagged, Id3v1Tag());
  MakeSource("one.mp3", first);
  MakeSource("two.mp3", tagged);
  const auto result = Cli({"join", "--output", "all.mp3", "one.mp3", "two.mp3"});
  ASSERT_EQ(result.Exit, 0) << result.Err;
  Bytes expected = first;
  Append(expected, Frames(FrameSpec{}, 20));
  EXPECT_TRUE(SameContent(Read("all.mp3"), AsText(expected)));
  EXPECT_NE(result.Err.find("fait"), std::string::npos) << result.Err;

  const auto raw = Cli({"join", "--output", "raw.mp3", "one.mp3", "two.mp3", "--raw"});
  ASSERT_EQ(raw.Exit, 0) << raw.Err;
  EXPECT_TRUE(SameContent(Read("raw.mp3"), Read("one.mp3") + Read("two.mp3")));
}

// A setting the engines cannot use is refused before anything runs (exit 2), whether out of
// range or no number; from the settings file it gives the default. A settings file that is
// a FIFO would block every command: refused too.
TEST_F(CliTest, SettingsThatCannotBeUsedAreRefused) {
  MakeSource("song.mp3", Frames(FrameSpec{}, 20));
  for (const char* setting :
       {"ADJUSTSTART=9", "ADJUSTSTART=abc", "ID3V1TAG=yes", "HEARCUT=5", "LISTCODEPAGE=9999"}) {
    const auto result =
        Cli({"cut", "song.mp3", "--point", "0=a", "--point", "0s 10f=b", "--set", setting});
    EXPECT_EQ(result.Exit, 2) << setting;
    EXPECT_EQ(CountLines(result.Err), 1) << result.Err;
    EXPECT_FALSE(Exists("a.mp3")) << setting;
  }
  EXPECT_NE(Cli({"stats", "song.mp3", "--set", "ADJUSTSTART=9"}).Err.find("de 0 à 3"),
            std::string::npos);

  WriteFile(dir_.File("odd.ini"),
            Bytes{'[', 'S', 'E', 'T', 'T', 'I', 'N', 'G', 'S', ']', '\n', 'A', 'D',
                  'J', 'U', 'S', 'T', 'S', 'T', 'A', 'R', 'T', '=', '9',  '\n'});
  const auto fromFile = RunCli({"--ini", dir_.File("odd.ini"), "--set", "XINGHEADER=0", "cut",
                                "song.mp3", "--point", "0=a", "--point", "0s 10f=b"},
                               dir_.Path());
  EXPECT_EQ(fromFile.Exit, 0) << fromFile.Err;
  EXPECT_TRUE(Exists("b.mp3"));

  const std::string fifo = dir_.File("fifo.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto viaFifo = RunCli({"--ini", fifo, "stats", "song.mp3"}, dir_.Path());
  EXPECT_EQ(viaFifo.Exit, 2);
  EXPECT_NE(viaFifo.Err.find("n'est pas un fichier ordinaire"), std::string::npos) << viaFifo.Err;
}

// Sources that hold no MPEG stream, or are no regular file, are refused by every command
// (exit 1) and nothing is written: no fragment, no empty joined file.
TEST_F(CliTest, SourcesThatAreNoStreamAreRefused) {
  MakeSource("text.mp3", Bytes(100000, 'x'));
  MakeSource("more.mp3", Bytes(3000, 'y'));
  std::filesystem::create_symlink("/dev/zero", dir_.File("zero.mp3"));

  const auto cut = Cli({"cut", "text.mp3", "--point", "0=a", "--point", "1s=b"});
  EXPECT_EQ(cut.Exit, 1);
  EXPECT_NE(cut.Err.find("Source invalide : aucune frame MPEG trouvée."), std::string::npos)
      << cut.Err;
  EXPECT_FALSE(Exists("a.mp3"));
  const auto stats = Cli({"stats", "text.mp3"});
  EXPECT_EQ(stats.Exit, 1);
  EXPECT_EQ(stats.Out.find("Layer"), std::string::npos) << stats.Out;
  const auto join = Cli({"join", "--output", "all.mp3", "text.mp3", "more.mp3"});
  EXPECT_EQ(join.Exit, 1);
  EXPECT_NE(join.Err.find("text.mp3 : aucune frame MPEG."), std::string::npos) << join.Err;
  EXPECT_FALSE(Exists("all.mp3"));

  const std::vector<std::vector<std::string>> onZero{
      {"cut", "zero.mp3", "--point", "0=a", "--point", "1s=b"},
      {"stats", "zero.mp3"},
      {"levels", "zero.mp3"},
      {"join", "--output", "all.mp3", "zero.mp3"}};
  for (const auto& args : onZero) {
    const auto zero = Cli(args);
    EXPECT_EQ(zero.Exit, 1) << args[0];
    EXPECT_NE(zero.Err.find("pas un fichier ordinaire"), std::string::npos) << zero.Err;
  }
  EXPECT_FALSE(Exists("all.mp3"));
}

// A track list that cannot be read is said so, not taken for a list without points; a named
// point past the end is said so even with --quiet, and the cut still succeeds.
TEST_F(CliTest, MissingTrackListAndPointsPastTheEndAreSaid) {
  MakeSource("song.mp3", Frames(FrameSpec{}, 20));  // 0.52 s
  const auto missing = Cli({"cut", "song.mp3", "--cue", "missing.cue"});
  EXPECT_EQ(missing.Exit, 1);
  EXPECT_NE(missing.Err.find("missing.cue"), std::string::npos) << missing.Err;
  EXPECT_EQ(missing.Err.find("Spécifiez"), std::string::npos) << missing.Err;

  const auto late = Cli({"cut", "song.mp3", "--point", "0=a", "--point", "1m=late", "--point", "2m",
                         "--point", "3m=later", "--quiet"});
  EXPECT_EQ(late.Exit, 0) << late.Err;
  EXPECT_EQ(late.Err,
            "Point de coupe au-delà de la fin de la source, non atteint : late (01m 00s 00f)\n"
            "Point de coupe au-delà de la fin de la source, non atteint : later (03m 00s 00f)\n");
  EXPECT_TRUE(Exists("a.mp3"));
}

// A file made by a real encoder, cut into three: every fragment decodes, and together they
// hold exactly the source's audio frames (the encoder's "Info" frame is left out).
TEST_F(CliTest, LameFileCutIntoFragmentsThatDecode) {
  if (!HaveProgram("lame") || !HaveProgram("mpg123"))
    GTEST_SKIP() << "lame or mpg123 missing";
  // Four seconds of a stereo tone, as a WAV file.
  Bytes wav = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  const auto le = [&wav](uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
      wav.push_back((v >> (8 * i)) & 0xFF);
  };
  wav.insert(wav.end(), {'f', 'm', 't', ' '});
  le(16, 4), le(1, 2), le(2, 2), le(44100, 4), le(44100 * 4, 4), le(4, 2), le(16, 2);
  wav.insert(wav.end(), {'d', 'a', 't', 'a'});
  const uint32_t samples = 44100 * 4;
  le(samples * 4, 4);
  for (uint32_t i = 0; i < samples; ++i) {
    le(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 0.05))), 2);
    le(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 0.03))), 2);
  }
  WriteFile(dir_.File("tone.wav"), wav);
  ASSERT_EQ(
      RunProgram("lame", {"--quiet", "-b", "128", dir_.File("tone.wav"), dir_.File("tone.mp3")})
          .Exit,
      0);

  const auto result = Cli({"cut", "tone.mp3", "--point", "0=p1", "--point", "1s 20f=p2", "--point",
                           "02m=never", "--point", "2s 37f=p3", "--dest", "frag"});
  ASSERT_EQ(result.Exit, 0) << result.Err;
  std::string joined;
  for (const char* name : {"p1", "p2", "p3"}) {
    const std::string path = dir_.File(std::string("frag/") + name + ".mp3");
    const auto decoded = RunProgram("mpg123", {"-q", "-s", path});
    EXPECT_EQ(decoded.Exit, 0) << name;
    EXPECT_GT(decoded.Out.size(), 44100u) << name;
    EXPECT_EQ(decoded.Err, "") << name;
    joined += AsText(ReadFile(path));
  }
  // "02m" lies past the end: that cut point is never reached.
  EXPECT_NE(result.Out.find("  non atteint"), std::string::npos) << result.Out;
  const std::string source = Read("tone.mp3");
  ASSERT_LT(joined.size(), source.size());
  EXPECT_LT(source.size() - joined.size(), 420u);  // one frame: the "Info" header
  EXPECT_TRUE(SameContent(joined, source.substr(source.size() - joined.size())));
}

}  // namespace
}  // namespace zembrio::test
