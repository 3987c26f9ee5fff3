#include "cut/overwrite.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "framebuilder.h"
#include "recordingfeedback.h"

namespace zembrio::test {
namespace {

namespace fs = std::filesystem;

class OverwriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(source, Garbage(10));
    WriteFile(existing, Garbage(10));
  }

  // The name ConfirmOutputName settles on.
  std::string Confirm(std::string name) {
    ConfirmOutputName(rc.Context, source, name);
    return name;
  }

  TempDir dir;
  std::string source = dir.File("song.mp3");
  std::string existing = dir.File("a.mp3");
  RecordingContext rc;
};

TEST_F(OverwriteTest, SaveAsAsksAgainWhileTheNewNameExists) {
  const std::string other = dir.File("b.mp3");
  WriteFile(other, Garbage(1));
  rc.Questions.OverwriteAnswers = {{TOverwriteChoice::SaveAs, other},
                                   {TOverwriteChoice::SaveAs, dir.File("c.mp3")}};
  EXPECT_EQ(Confirm(existing), dir.File("c.mp3"));
  EXPECT_EQ(rc.Questions.OverwriteNames, (std::vector<std::string>{existing, other}));
}

TEST_F(OverwriteTest, SourceIsRefusedInEverySpelling) {
  fs::create_directories(dir.File("sub"));
  fs::create_symlink(source, dir.File("link.mp3"));
  fs::create_hard_link(source, dir.File("hard.mp3"));
  const std::string relative = fs::relative(source).string();
  const std::string spellings[] = {source,
                                   dir.File("./song.mp3"),
                                   dir.File("sub/../song.mp3"),
                                   dir.File("link.mp3"),
                                   dir.File("hard.mp3"),
                                   relative};
  for (const bool overwriteAll : {false, true}) {
    rc.State.OverwriteAll = overwriteAll;
    for (const std::string& name : spellings) {
      SCOPED_TRACE(name);
      EXPECT_TRUE(IsSourcePath(source, name));
      EXPECT_THROW(Confirm(name), TRunError);
    }
  }
  EXPECT_FALSE(IsSourcePath(source, existing));
  EXPECT_TRUE(rc.Questions.OverwriteMessages.empty());
}

TEST_F(OverwriteTest, SaveAsTheSourceIsRefused) {
  rc.Questions.OverwriteAnswers = {{TOverwriteChoice::SaveAs, dir.File("./song.mp3")}};
  try {
    Confirm(existing);
    FAIL() << "no error";
  } catch (const TRunError& e) {
    EXPECT_STREQ(e.what(), kSourceNotOverwritable);
  }
}

// Where letter case counts, "SONG.MP3" beside "song.mp3" is a file of its own; once it
// exists on a file system that folds case, it is the source again.
TEST_F(OverwriteTest, ANameThatDiffersOnlyInCaseIsNotTheSource) {
  const std::string upper = dir.File("SONG.MP3");
  EXPECT_FALSE(IsSourcePath(source, upper));
  EXPECT_EQ(Confirm(upper), upper);
  EXPECT_TRUE(rc.Questions.OverwriteMessages.empty());
}

// Within one run no output replaces another, whatever the overwrite choice; a new run
// starts afresh (the files then exist, and the usual question comes).
TEST_F(OverwriteTest, AnOutputOfTheSameRunIsNeverReplaced) {
  const struct {
    bool OverwriteAll;
    std::vector<std::string> Expected;
  } cases[] = {
      {false, {"intro.mp3", "intro (2).mp3", "intro (3).mp3"}},
      {true, {"intro.mp3", "intro (2).mp3", "intro (3).mp3"}},
  };
  for (const auto& c : cases) {
    StartOutputRun(rc.State);
    rc.State.OverwriteAll = c.OverwriteAll;
    for (const std::string& expected : c.Expected)
      EXPECT_EQ(Confirm(dir.File("intro.mp3")), dir.File(expected));
  }
  // Another spelling of a name already given is the same output.
  StartOutputRun(rc.State);
  EXPECT_EQ(Confirm(dir.File("intro.mp3")), dir.File("intro.mp3"));
  WriteFile(dir.File("intro.mp3"), Garbage(1));
  EXPECT_EQ(Confirm(dir.File("./intro.mp3")), dir.File("./intro (2).mp3"));
  // A name typed into the question that the run already wrote is moved on as well.
  rc.Questions.OverwriteAnswers = {{TOverwriteChoice::SaveAs, dir.File("intro.mp3")}};
  EXPECT_EQ(Confirm(existing), dir.File("intro (3).mp3"));
  EXPECT_TRUE(rc.Questions.OverwriteMessages.size() == 1);
}

bool IsUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if ((lead & 0xC0) == 0x80 || i + length > text.size())
      return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
        return false;
    }
    i += length;
  }
  return true;
}

TEST_F(OverwriteTest, ALongNameIsShortenedAtACharacterWithItsExtension) {
  std::string title;
  for (int i = 0; i < 150; ++i)
    title += "é";  // 300 bytes
  const struct {
    std::string Name;
    std::string Extension;
  } cases[] = {{title + ".mp3", ".mp3"}, {"x" + title + ".ogg", ".ogg"}, {title, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    StartOutputRun(rc.State);
    for (const std::string& suffix : {std::string(), std::string(" (2)")}) {
      const std::string fitted = Confirm(dir.File(c.Name));
      const std::string name = fs::path(fitted).filename().string();
      EXPECT_LE(name.size(), kFileNameMax);
      EXPECT_GE(name.size(), kFileNameMax - 1);
      EXPECT_TRUE(IsUtf8(name));
      EXPECT_TRUE(name.ends_with(suffix + c.Extension)) << name;
      WriteFile(fitted, Garbage(1));  // the file system takes it
    }
  }
  EXPECT_EQ(FitFileNameLength(existing), existing);
}

}  // namespace
}  // namespace zembrio::test
