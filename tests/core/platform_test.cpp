#include "core/platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "framebuilder.h"

namespace zembrio {
namespace {

// Sets an environment variable for the length of a test.
class TScopedEnv {
 public:
  TScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~TScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(PathHelpers, SplitNamesAtTheLastDelimiter) {
  EXPECT_EQ(ExtractFileExt("/music/song.mp3"), ".mp3");
  EXPECT_EQ(ExtractFileExt("/music/a.b/song"), "");
  EXPECT_EQ(ExtractFileExt("archive.tar.gz"), ".gz");
  EXPECT_EQ(ChangeFileExt("/opt/zembrio/zembrio", ".ini"), "/opt/zembrio/zembrio.ini");
  EXPECT_EQ(ChangeFileExt("/opt/x.d/zembrio.bin", ".ini"), "/opt/x.d/zembrio.ini");
  EXPECT_EQ(ExtractFilePath("/music/song.mp3"), "/music/");
  EXPECT_EQ(ExtractFilePath("song.mp3"), "");
  EXPECT_EQ(ExtractFileName("/music/song.mp3"), "song.mp3");
  EXPECT_EQ(ExtractFileName("/music/"), "");
  EXPECT_EQ(WithTrailingDelimiter("/music"), "/music/");
  EXPECT_EQ(WithTrailingDelimiter("/music/"), "/music/");
  EXPECT_EQ(WithTrailingDelimiter(""), "");
  EXPECT_TRUE(IsAbsolutePath("/music"));
  EXPECT_FALSE(IsAbsolutePath("C:music"));
  EXPECT_FALSE(IsAbsolutePath(""));
}

TEST(PathHelpers, ExpandFileNameResolvesDotsLexically) {
  EXPECT_EQ(ExpandFileName("/a/./b/../c"), "/a/c");
  EXPECT_EQ(ExpandFileName("//a///b/"), "/a/b/");
  EXPECT_EQ(ExpandFileName("/../.."), "/");
  EXPECT_EQ(ExpandFileName(""), "");
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(ExpandFileName("x/../y.mp3"), ExpandFileName(cwd + "/y.mp3"));
}

TEST(Places, ExecutableIsAnAbsolutePath) {
  const std::string exe = ExecutablePath();
  EXPECT_TRUE(IsAbsolutePath(exe));
  EXPECT_EQ(ExecutableFolder(), ExtractFilePath(exe));
  EXPECT_EQ(DefaultIniPath(), IniPathFor(exe));
}

TEST(Places, IniBesideAWritableExecutableElseInTheConfigFolder) {
  test::TempDir dir;
  EXPECT_EQ(IniPathFor(dir.File("zembrio")), dir.File("zembrio.ini"));

  const std::string missingFolder = dir.File("gone/zembrio");
  {
    TScopedEnv xdg("XDG_CONFIG_HOME", "/xdg/config");
    EXPECT_EQ(IniPathFor(missingFolder), "/xdg/config/zembrio/zembrio.ini");
  }
  {
    TScopedEnv xdg("XDG_CONFIG_HOME", "relative/is/ignored");
    TScopedEnv home("HOME", "/home/ana");
    EXPECT_EQ(IniPathFor(missingFolder), "/home/ana/.config/zembrio/zembrio.ini");
  }
}

TEST(Places, AnInstalledCopyKeepsItsSettingsInTheConfigFolder) {
  EXPECT_TRUE(IsSystemProgramFolder("/usr/bin/"));
  EXPECT_TRUE(IsSystemProgramFolder("/usr/local/bin"));
  EXPECT_TRUE(IsSystemProgramFolder("/bin/"));
  EXPECT_TRUE(IsSystemProgramFolder("/opt/../usr/bin/"));
  EXPECT_FALSE(IsSystemProgramFolder("/opt/zembrio/"));
  EXPECT_FALSE(IsSystemProgramFolder("/usrdata/zembrio/"));
  EXPECT_FALSE(IsSystemProgramFolder("/media/stick/zembrio/"));

  // Writable for root, yet never chosen for a new settings file.
  TScopedEnv xdg("XDG_CONFIG_HOME", "/xdg/config");
  EXPECT_EQ(IniPathFor("/usr/bin/zembrio"), "/xdg/config/zembrio/zembrio.ini");
  EXPECT_EQ(IniPathFor("/usr/local/bin/zembrio"), "/xdg/config/zembrio/zembrio.ini");
}

TEST(Places, VcutBesideTheExecutableElseOnThePath) {
  test::TempDir dir;
  const std::string bin = dir.File("bin");
  std::filesystem::create_directory(bin);
  test::WriteFile(bin + "/vcut", {'#', '!'});
  chmod((bin + "/vcut").c_str(), 0755);
  const std::string app = dir.File("app/");
  std::filesystem::create_directory(app);

  TScopedEnv path("PATH", ("/nonexistent::" + bin).c_str());
  EXPECT_EQ(VcutPathFor(app), bin + "/vcut");

  test::WriteFile(app + "vcut", {});
  EXPECT_EQ(VcutPathFor(app), app + "vcut");

  TScopedEnv noPath("PATH", "/nonexistent");
  EXPECT_EQ(VcutPathFor(dir.File("other")), dir.File("other/vcut"));
}

}  // namespace
}  // namespace zembrio
