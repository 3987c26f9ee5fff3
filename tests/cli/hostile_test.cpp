// zembrio-cli before hostile track lists and sources: a list that stops on an error cuts
// nothing, names that a mask leaves empty still give files, and an Ogg cut that fails says so
// on standard error even with --quiet.
#include <gtest/gtest.h>

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
  Text("song.cue", "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\n"
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
  Text("song.cue", "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\n"
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

}  // namespace
}  // namespace zembrio::test
