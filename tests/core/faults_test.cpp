// Faults of the disk under the settings file and the file layer: a full disk never costs the
// settings file its content, and a file read while another program writes it is read whole.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "core/fileio.h"
#include "core/inifile.h"
#include "core/settings.h"
#include "core/textutil.h"
#include "framebuilder.h"
#include "tests/support/settingsguard.h"

namespace zembrio {
namespace {

using test::TempDir;

bool DevFullIsThere() {
  return std::filesystem::is_character_file("/dev/full");
}

// Files of this process may grow no larger than limit bytes while it lives: a write past
// that fails as on a full disk (EFBIG instead of the SIGXFSZ that would end the process).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit lowered = previous_;
    lowered.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
};

class SettingsFaultTest : public ::testing::Test {
 protected:
  test::SettingsGuard guard_;

  TempDir dir_;
};

TEST_F(SettingsFaultTest, AFullDiskKeepsThePreviousFileWhole) {
  const std::string ini = dir_.File("zembrio.ini");
  const std::string before = "; mine\n[STATE]\nWNDLEFT=1\n[SETTINGS]\nMASK=%T\n[OTHER]\nKEEP=1\n";
  WriteFileAtomically(ini, before);
  LoadSettingsFrom(ini);
  Settings().MASK = "%N - %T";
  Settings().WNDLEFT = 99;
  {
    const FileSizeLimit full(16);
    EXPECT_FALSE(SaveSettingsTo(ini, true));
  }
  EXPECT_EQ(ReadWholeFile(ini), before);
  // The half-written temporary file is gone, and the record still holds the new values.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1);
  EXPECT_EQ(Settings().MASK, "%N - %T");
  ASSERT_TRUE(SaveSettingsTo(ini, true));
  LoadSettingsFrom(ini);
  EXPECT_EQ(Settings().MASK, "%N - %T");
}

TEST_F(SettingsFaultTest, ASettingsFileLinkedToAFullDeviceIsAFailedSave) {
  if (!DevFullIsThere()) {
    GTEST_SKIP() << "no /dev/full";
  }
  const std::string ini = dir_.File("zembrio.ini");
  std::filesystem::create_symlink("/dev/full", ini);
  LoadSettingsFrom(ini);  // reads nothing: defaults
  EXPECT_EQ(Settings().MASK, "%N %T");
  EXPECT_FALSE(SaveSettingsTo(ini, true));
  EXPECT_TRUE(std::filesystem::is_symlink(ini));
  EXPECT_TRUE(DevFullIsThere());
}

TEST(FileFaultTest, AFileThatGrowsWhileOpenIsReadToItsNewEnd) {
  // A small file gets a small buffer: what is written after the open must still arrive.
  TempDir dir;
  const std::string path = dir.File("growing.txt");
  test::WriteFile(path, {'a', 'b'});
  TInputFile input(path);
  EXPECT_EQ(input.Size(), 2);
  test::Bytes more(5000, 'c');
  more[0] = 'a';
  more[1] = 'b';
  test::WriteFile(path, more);
  std::string got(6000, '\0');
  got.resize(input.Read(got.data(), got.size()));
  EXPECT_EQ(got.size(), 5000u);
  EXPECT_EQ(got.substr(0, 3), "abc");
  EXPECT_EQ(ReadWholeFile(path).size(), 5000u);
}

TEST(FileFaultTest, WholeFileReadsStopAtTheirLimit) {
  // A device that never ends, and a large file, are refused instead of filling the memory.
  EXPECT_THROW(ReadWholeFile("/dev/zero"), std::system_error);
  TempDir dir;
  const std::string big = dir.File("big.cue");
  test::WriteFile(big, {});
  std::filesystem::resize_file(big, static_cast<uintmax_t>(kWholeFileLimit) + 1);
  try {
    ReadWholeFile(big);
    FAIL() << "read a file past the limit";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code(), std::errc::file_too_large);
  }
  std::filesystem::resize_file(big, static_cast<uintmax_t>(kWholeFileLimit));
  EXPECT_EQ(ReadWholeFile(big).size(), static_cast<size_t>(kWholeFileLimit));
}

}  // namespace
}  // namespace zembrio
