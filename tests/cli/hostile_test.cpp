// zembrio-cli before hostile track lists and sources: a list that stops on an error cuts
// nothing, names that a mask leaves empty still give files, and an Ogg cut that fails says so
// on standard error even with --quiet.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "clirunner.h"
#include "framebuilder.h"

namespace zembrio::test {
namespace {

namespace fs = std::filesystem;

class CliHostileTest : public ::testing::Test {
 protected:
  ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), {"--ini", dir_.File("zembrio.ini")});
    return RunCli(args, dir_.Path());
  }
  void Text(const std::string& name, const std::string& text) {
    WriteFile(dir_.File(name), Bytes(text.begin(), text.end()));
  }
  size_t FilesIn(const std::string& folder) {
    if (!fs::exists(dir_.File(folder)))
      return 0;
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_.File(folder)), {}));
  }

  TempDir dir_;
  FrameSpec spec_{};
};

// An XMCD file whose third offset is malformed: the window keeps the two tracks before it
// in the grid, but here nobody would see that the second runs on over the third.
TEST_F(CliHostileTest, ATrackListThatStopsOnAnErrorCutsNothing) {
  WriteFile(dir_.File("song.mp3"), Frames(spec_, 400));
  Text("song.xmcd",
       "# xmcd\n#\n# Track frame offsets:\n#\t150\n#\t300\n#\t4x0\n#\n"
       "TTITLE0=A\nTTITLE1=B\nTTITLE2=C\n");
  Text("song.cue",
       "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\n"
       "TRACK AUDIO\nINDEX 01 00:04:00\n");
  const struct {
    std::vector<std::string> Args;
    std::string Said;
  } cases[] = {{{"--xmcd", "song.xmcd"}, "song.xmcd, ligne 6 : « 4x0 » n'est pas un nombre"},
               {{"--cue", "song.cue"}, "song.cue, ligne 5 : « TRACK AUDIO » : numéro de piste"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args[0]);
    std::vector<std::string> args = {"cut", "song.mp3", "--dest", "out"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    const ProcessResult result = Cli(args);
    EXPECT_EQ(result.Exit, 1);
    EXPECT_NE(result.Err.find(c.Said), std::string::npos) << result.Err;
    EXPECT_EQ(FilesIn("out"), 0u);
  }
}

// "%T" over a sheet without titles: every track is still a file, named by its number, and
// standard error says so once.
TEST_F(CliHostileTest, AMaskThatLeavesNamesEmptyNamesTracksByNumber) {
  WriteFile(dir_.File("song.mp3"), Frames(spec_, 400));
  Text("song.cue",
       "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\n"
       "TRACK 03 AUDIO\nTITLE \"Three\"\nINDEX 01 00:04:00\n");
  const ProcessResult result =
      Cli({"cut", "song.mp3", "--cue", "song.cue", "--dest", "out", "--set", "MASK=%T"});
  ASSERT_EQ(result.Exit, 0) << result.Err;
  EXPECT_TRUE(fs::exists(dir_.File("out/01.mp3")));
  EXPECT_TRUE(fs::exists(dir_.File("out/02.mp3")));
  EXPECT_TRUE(fs::exists(dir_.File("out/Three.mp3")));
  EXPECT_NE(result.Err.find("2 piste(s) sans nom après le masque"), std::string::npos)
      << result.Err;
}

// The first 64 bytes of an Ogg Vorbis file as far as the cut reads them: a first page whose
// packet is a Vorbis identification header, the sample rate at byte 40.
Bytes OggHead(uint32_t rate) {
  Bytes bytes(64, 0);
  const std::string page("OggS\0\x02", 6);
  std::copy(page.begin(), page.end(), bytes.begin());
  bytes[26] = 1;   // one segment
  bytes[27] = 30;  // the identification packet
  const std::string packet("\x01vorbis", 7);
  std::copy(packet.begin(), packet.end(), bytes.begin() + 28);
  for (int i = 0; i < 4; ++i)
    bytes[40 + i] = static_cast<uint8_t>(rate >> (8 * i));
  return bytes;
}

// An Ogg source that is empty or says 0 Hz is refused; a cutter that fails is reported on
// standard error, --quiet or not.
TEST_F(CliHostileTest, OggCutsThatCannotGoRightSaySo) {
  WriteFile(dir_.File("zero.ogg"), OggHead(0));
  WriteFile(dir_.File("empty.ogg"), Bytes{});
  WriteFile(dir_.File("song.ogg"), OggHead(44100));
  const struct {
    std::string Source;
    std::string Cutter;
    std::string Said;
  } cases[] = {{"zero.ogg", "/bin/true", "Source invalide"},
               {"empty.ogg", "/bin/true", "format non reconnu"},
               {"song.ogg", "/bin/false", "vcut a échoué (code 1) au fragment 1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Source);
    const ProcessResult result = Cli({"-q", "cut", c.Source, "--point", "0=a", "--point", "1s=b",
                                      "--dest", "out", "--set", "VCUTEXE=" + c.Cutter});
    EXPECT_EQ(result.Exit, 1);
    EXPECT_NE(result.Err.find(c.Said), std::string::npos) << result.Err;
    EXPECT_FALSE(fs::exists(dir_.File("out/b.ogg")));
  }
}

// The batch script stops at its first failing line, and no control character of a track
// list reaches its text: not in the names, not in the tags.
TEST_F(CliHostileTest, TheBatchScriptStopsOnErrorsAndHoldsNoControlCharacters) {
  WriteFile(dir_.File("song.ogg"), OggHead(44100));
  const std::string list = std::string("0:00:00/In\x01tro\n0:01:00/Ou") + '\0' + "t\tro\n";
  Text("list.txt", list);
  const ProcessResult result =
      Cli({"cut", "song.ogg", "--text", "list.txt", "--dest", "out", "--batch", "do.sh", "--set",
           "VCUTEXE=/bin/true", "--tag", std::string("album=A\nrm -rf x")});
  ASSERT_EQ(result.Exit, 0) << result.Err;
  const Bytes script = ReadFile(dir_.File("do.sh"));
  const std::string text(script.begin(), script.end());
  EXPECT_TRUE(text.starts_with("#!/bin/sh\nset -e\n")) << text;
  EXPECT_NE(text.find("In-tro.ogg"), std::string::npos) << text;
  EXPECT_NE(text.find("Ou-t-ro.ogg"), std::string::npos) << text;
  EXPECT_NE(text.find("ALBUM=A-rm -rf x"), std::string::npos) << text;
  for (const char c : text)
    EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 32) << int(c);
}

}  // namespace
}  // namespace zembrio::test
