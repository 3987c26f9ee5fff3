// Tagged fragments end to end: zembrio-cli cuts a lame file with a cover picture, and an
// Ogg Vorbis file, from track lists and typed names; the tags are read back by mutagen and
// vorbiscomment, not by the TagLib that wrote them.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "clirunner.h"
#include "framebuilder.h"

namespace zembrio::test {
namespace {

const std::string kPython = "/usr/bin/python3";

// "ID=text" per text frame, "APIC" per picture, "VERSION=2.4" for the tag's version.
const char* const kDumpId3 = R"(
import sys, mutagen.id3
tag = mutagen.id3.ID3(sys.argv[1])
print("VERSION=%d.%d" % tag.version[:2])
for frame in tag.values():
    if frame.FrameID == "APIC":
        print("APIC")
    elif frame.FrameID.startswith("T"):
        print(frame.FrameID + "=" + str(frame))
)";

using TFields = std::map<std::string, std::string>;

TFields ParseFields(const std::string& text) {
  TFields fields;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    const std::string line = text.substr(start, end - start);
    const size_t eq = line.find('=');
    fields[line.substr(0, eq)] = eq == std::string::npos ? "" : line.substr(eq + 1);
    start = end + 1;
  }
  return fields;
}

std::string ToText(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

class TagsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("vorbiscomment") || RunProgram(kPython, {"-c", "import mutagen"}).Exit != 0)
      GTEST_SKIP() << "python3-mutagen or vorbis-tools missing";
  }

  ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), {"--ini", dir_.File("zembrio.ini"), "--overwrite", "all", "-q"});
    return RunCli(args, dir_.Path());
  }

  // The lame sample with its ID3v2 tag (encoder, title, artist, length, cover picture).
  std::string CoverSource() {
    WriteFile(dir_.File("album.mp3"),
              ReadFile(std::string(ZEMBRIO_TEST_DATA_DIR) + "/cover_id3v2.mp3"));
    return "album.mp3";
  }

  void WriteText(const std::string& name, const std::string& text) {
    WriteFile(dir_.File(name), Bytes(text.begin(), text.end()));
  }

  TFields Id3(const std::string& name) {
    const ProcessResult dump = RunProgram(kPython, {"-c", kDumpId3, dir_.File(name)});
    EXPECT_EQ(dump.Exit, 0) << dump.Err;
    return ParseFields(dump.Out);
  }

  TFields Comments(const std::string& name) {
    const ProcessResult list = RunProgram("vorbiscomment", {"-l", dir_.File(name)});
    EXPECT_EQ(list.Exit, 0) << list.Err;
    return ParseFields(list.Out);
  }

  TempDir dir_;
};

// Windows-1252, as many rippers still write it: "Café «Noir»", "Édith".
const std::string kSheet =
    "REM GENRE \"Hard Rock\"\r\nREM DATE 1980\r\nPERFORMER \"Caf\xE9 \xABNoir\xBB\"\r\n"
    "TITLE \"Back in Black\"\r\nFILE \"album.wav\" WAVE\r\n"
    "  TRACK 01 AUDIO\r\n    TITLE \"Hells Bells\"\r\n    INDEX 01 00:00:00\r\n"
    "  TRACK 02 AUDIO\r\n    TITLE \"Shoot to Thrill: live?\"\r\n"
    "    PERFORMER \"\xC9\x64ith\"\r\n    INDEX 01 00:01:00\r\n";

TEST_F(TagsTest, CueSheetTagsEveryMpegFragmentAndKeepsTheSourceFrames) {
  const std::string source = CoverSource();
  WriteText("album.cue", kSheet);
  ASSERT_EQ(Cli({"cut", source, "--cue", "album.cue", "--dest", "tagged"}).Exit, 0);
  const std::string first = "tagged/01 Hells Bells.mp3";
  const std::string second = "tagged/02 Shoot to Thrill- live-.mp3";

  const TFields one = Id3(first);
  EXPECT_EQ(one.at("VERSION"), "2.4");
  EXPECT_EQ(one.at("TIT2"), "Hells Bells");
  EXPECT_EQ(one.at("TPE1"), "Café «Noir»");  // no performer of its own: the disc's
  EXPECT_EQ(one.at("TALB"), "Back in Black");
  EXPECT_EQ(one.at("TPE2"), "Café «Noir»");
  EXPECT_EQ(one.at("TDRC"), "1980");
  EXPECT_EQ(one.at("TCON"), "Hard Rock");
  EXPECT_EQ(one.at("TRCK"), "1/2");
  EXPECT_TRUE(one.count("APIC"));  // the source's cover picture
  EXPECT_TRUE(one.count("TSSE"));  // and its other frames
  EXPECT_FALSE(one.count("TLEN")) << "a fragment must not claim the source's length";

  const TFields two = Id3(second);
  EXPECT_EQ(two.at("TIT2"), "Shoot to Thrill: live?");
  EXPECT_EQ(two.at("TPE1"), "Édith");
  EXPECT_EQ(two.at("TRCK"), "2/2");

  // With the setting off the fragments are the frames alone, which follow the tag unchanged.
  ASSERT_EQ(
      Cli({"--set", "ID3V2TAG=0", "cut", source, "--cue", "album.cue", "--dest", "bare"}).Exit, 0);
  for (const std::string& name : {first, second}) {
    const std::string bare = ToText(ReadFile(dir_.File("bare/" + name.substr(7))));
    const std::string tagged = ToText(ReadFile(dir_.File(name)));
    ASSERT_NE(bare.substr(0, 3), "ID3");
    ASSERT_EQ(tagged.substr(0, 3), "ID3");
    ASSERT_GT(tagged.size(), bare.size());
    EXPECT_TRUE(tagged.substr(tagged.size() - bare.size()) == bare) << name;
  }
}

TEST_F(TagsTest, XmcdGivesDiscAndTrackArtists) {
  const std::string source = CoverSource();
  WriteText("album.xmcd",
            "# xmcd\n#\n# Track frame offsets:\n#\t150\n#\t225\n#\n"
            "DTITLE=Various / Album\nDYEAR=2003\nDGENRE=Pop\n"
            "TTITLE0=Artist A / First\nTTITLE1=Second\n");
  ASSERT_EQ(Cli({"cut", source, "--xmcd", "album.xmcd", "--dest", "out"}).Exit, 0);
  const TFields one = Id3("out/01 First.mp3");
  EXPECT_EQ(one.at("TPE1"), "Artist A");
  EXPECT_EQ(one.at("TPE2"), "Various");
  EXPECT_EQ(one.at("TALB"), "Album");
  EXPECT_EQ(one.at("TDRC"), "2003");
  EXPECT_EQ(one.at("TCON"), "Pop");
  const TFields two = Id3("out/02 Second.mp3");
  EXPECT_EQ(two.at("TIT2"), "Second");
  EXPECT_EQ(two.at("TPE1"), "Various");
  EXPECT_EQ(two.at("TRCK"), "2/2");
}

// Tracks that share a start are not written, and the others count only each other.
TEST_F(TagsTest, TracksThatShareAStartAreNoTrack) {
  const std::string source = CoverSource();
  WriteText("album.cue",
            "FILE \"album.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
            "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:00:00\n"
            "  TRACK 03 AUDIO\n    TITLE \"Three\"\n    INDEX 01 00:01:00\n");
  ASSERT_EQ(Cli({"cut", source, "--cue", "album.cue", "--dest", "out"}).Exit, 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("out/01 One.mp3")));
  EXPECT_EQ(Id3("out/02 Two.mp3").at("TRCK"), "1/2");
  EXPECT_EQ(Id3("out/03 Three.mp3").at("TRCK"), "2/2");
}

// Typed names are titles; a passed-over stretch is no track; --tag wins over the source.
TEST_F(TagsTest, TypedNamesAndTagOptions) {
  const std::string source = CoverSource();
  const std::vector<std::string> args = {
      "cut",           source,  "--point",    "0=intro", "--point",     "40f",    "--point",
      "1s=Live: one?", "--tag", "album=Live", "--tag",   "artist=Band", "--dest", "out"};
  std::vector<std::string> dry = args;
  dry.push_back("--dry-run");
  const ProcessResult shown = Cli(dry);
  ASSERT_EQ(shown.Exit, 0) << shown.Err;
  EXPECT_NE(shown.Out.find("\tintro\tBand\n"), std::string::npos) << shown.Out;
  EXPECT_NE(shown.Out.find("\tLive: one?\tBand\n"), std::string::npos) << shown.Out;
  EXPECT_NE(shown.Out.find("\nalbum=Live\n"), std::string::npos) << shown.Out;

  ASSERT_EQ(Cli(args).Exit, 0);
  const TFields intro = Id3("out/intro.mp3");
  EXPECT_EQ(intro.at("TIT2"), "intro");
  EXPECT_EQ(intro.at("TPE1"), "Band");
  EXPECT_EQ(intro.at("TALB"), "Live");
  EXPECT_EQ(intro.at("TRCK"), "1/2");
  EXPECT_FALSE(intro.count("TPE2"));
  // The file name gets the replacement list, the tag keeps the name as typed.
  const TFields live = Id3("out/Live- one-.mp3");
  EXPECT_EQ(live.at("TIT2"), "Live: one?");
  EXPECT_EQ(live.at("TRCK"), "2/2");

  EXPECT_EQ(Cli({"cut", source, "--tag", "composer=x", "--dry-run"}).Exit, 2);
}

TEST_F(TagsTest, OggFragmentsGetVorbisCommentsDirectAndInBatch) {
  if (!HaveProgram("oggenc") || !HaveProgram("vcut") || !HaveProgram("sox"))
    GTEST_SKIP() << "oggenc, vcut or sox missing";
  ASSERT_EQ(RunProgram("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed",
                               dir_.File("tone.wav"), "synth", "3", "sine", "440"})
                .Exit,
            0);
  ASSERT_EQ(RunProgram("oggenc", {"-Q", "-t", "Whole", "-c", "COMMENT=keep me",
                                  dir_.File("tone.wav"), "-o", dir_.File("album.ogg")})
                .Exit,
            0);
  WriteText("album.cue", kSheet);
  const std::vector<std::string> args = {
      "--set", "VCUTEXE=/usr/bin/vcut", "cut", "album.ogg", "--cue", "album.cue"};
  std::vector<std::string> direct = args;
  direct.insert(direct.end(), {"--dest", "direct"});
  ASSERT_EQ(Cli(direct).Exit, 0);
  std::vector<std::string> batch = args;
  batch.insert(batch.end(), {"--dest", "batch", "--batch", "batch/cut.sh"});
  ASSERT_EQ(Cli(batch).Exit, 0);
  ASSERT_EQ(RunProgram("sh", {dir_.File("batch/cut.sh")}, dir_.Path()).Exit, 0);

  for (const std::string folder : {"direct/", "batch/"}) {
    const TFields one = Comments(folder + "01 Hells Bells.ogg");
    EXPECT_EQ(one.at("TITLE"), "Hells Bells") << folder;
    EXPECT_EQ(one.at("ARTIST"), "Café «Noir»") << folder;
    EXPECT_EQ(one.at("ALBUM"), "Back in Black") << folder;
    EXPECT_EQ(one.at("ALBUMARTIST"), "Café «Noir»") << folder;
    EXPECT_EQ(one.at("TRACKNUMBER"), "1") << folder;
    EXPECT_EQ(one.at("TRACKTOTAL"), "2") << folder;
    EXPECT_EQ(one.at("DATE"), "1980") << folder;
    EXPECT_EQ(one.at("GENRE"), "Hard Rock") << folder;
    EXPECT_EQ(one.at("COMMENT"), "keep me") << folder;
    const TFields two = Comments(folder + "02 Shoot to Thrill- live-.ogg");
    EXPECT_EQ(two.at("TITLE"), "Shoot to Thrill: live?") << folder;
    EXPECT_EQ(two.at("ARTIST"), "Édith") << folder;
    EXPECT_EQ(two.at("TRACKNUMBER"), "2") << folder;
  }
}

}  // namespace
}  // namespace zembrio::test
