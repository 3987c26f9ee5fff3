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
                                   dir.File("SONG.MP3"),
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

}  // namespace
}  // namespace zembrio::test
