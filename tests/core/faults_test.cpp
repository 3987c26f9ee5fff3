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
#include "tests/support/filesizelimit.h"
#include "tests/support/settingsguard.h"

namespace zembrio {
namespace {

using test::FileSizeLimit;
using test::TempDir;

bool DevFullIsThere() {
  return std::filesystem::is_character_file("/dev/full");
}

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

size_t EntriesIn(const std::string& folder) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// An output takes its name only once it is whole; whatever fails on the way leaves no file
// behind, and a file it replaces stays as it was.
TEST(OutputFileFaultTest, AnOutputTakesItsNameOnlyWhenWhole) {
  TempDir dir;
  const std::string name = dir.File("out.mp3");
  {
    TOutputFile output(name);
    output.Write(std::string(100, 'a'));
    output.Flush();
    EXPECT_FALSE(FileExists(name));  // bytes go to the temporary file meanwhile
    EXPECT_TRUE(FileExists(output.WritingPath()));
    output.Close();
  }
  EXPECT_EQ(ReadWholeFile(name), std::string(100, 'a'));
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);

  // A full disk halfway: the error is reported, the earlier file is untouched.
  std::filesystem::permissions(
      name, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  {
    const FileSizeLimit full(4096);
    TOutputFile output(name, 1024);
    EXPECT_THROW(
        {
          output.Write(std::string(8192, 'b'));
          output.Close();
        },
        std::system_error);
  }
  EXPECT_EQ(ReadWholeFile(name), std::string(100, 'a'));
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);

  // A failed write stays failed even when the owner closes afterwards (an aborted cut
  // closes what it has), and the destructor alone removes it too.
  for (const bool closeAfterwards : {true, false}) {
    {
      const FileSizeLimit full(4096);
      TOutputFile output(dir.File("second.mp3"), 1024);
      EXPECT_THROW(output.Write(std::string(8192, 'c')), std::system_error);
      if (closeAfterwards) {
        EXPECT_THROW(output.Close(), std::system_error);
      }
    }
    EXPECT_FALSE(FileExists(dir.File("second.mp3")));
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
  }

  // Replacing keeps the permissions of the file replaced; Discard leaves it alone.
  {
    TOutputFile output(name);
    output.Write(std::string("new"));
    output.Close();
  }
  EXPECT_EQ(ReadWholeFile(name), "new");
  EXPECT_EQ(std::filesystem::status(name).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  {
    TOutputFile output(name);
    output.Write(std::string("discarded"));
    output.Discard();
  }
  EXPECT_EQ(ReadWholeFile(name), "new");
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

// A full disk under bytes lent from windows the walk has left, written behind it: a walk
// that goes on lending learns of it within a few windows (a cut stops before its next
// fragment), and the close says so when no loan came after it.
TEST(OutputFileFaultTest, AFullDiskBehindTheWalkIsNeverLost) {
  TempDir dir;
  const std::string source = dir.File("source.bin");
  constexpr int64_t kSize = int64_t{10} << 20;
  test::WriteFile(source, test::Bytes(static_cast<size_t>(kSize), 0x5A));
  for (const int64_t lentUntil : {int64_t{2} << 20, kSize}) {
    {
      const FileSizeLimit full(size_t{1} << 20);
      TOutputFile output(dir.File("out.bin"));
      TInputFile input(source);
      constexpr size_t kPiece = 1 << 16;
      bool stopped = false;
      try {
        while (const unsigned char* bytes = input.Peek(kPiece)) {
          if (input.Position() < lentUntil)
            output.WriteLent(input, bytes, kPiece);
          input.Skip(kPiece);
        }
      } catch (const std::system_error&) {
        stopped = true;
      }
      if (lentUntil == kSize) {
        EXPECT_TRUE(stopped);
        EXPECT_LT(input.Position(), int64_t{6} << 20);
      }
      EXPECT_THROW(output.Close(), std::system_error);
    }
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
  }
}

TEST(OutputFileFaultTest, ADeviceIsWrittenDirectly) {
  TOutputFile output("/dev/null");
  EXPECT_EQ(output.WritingPath(), "/dev/null");
  output.Write(std::string("x"));
  output.Close();
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

}  // namespace
}  // namespace zembrio
