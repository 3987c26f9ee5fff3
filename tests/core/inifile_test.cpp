#include "core/inifile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "core/fileio.h"
#include "core/profiletext.h"
#include "core/settings.h"
#include "core/textutil.h"
#include "framebuilder.h"
#include "tests/support/settingsguard.h"

namespace zembrio {
namespace {

constexpr const char* kDefaultReplace =
    "REPLACE=\"=2D,2A=2D,3F=2D,2F=2D,5C=2D,3A=2D,22=2727,7C=2D,3C=28,3E=29\"";

class IniFileTest : public ::testing::Test {
 protected:
  test::SettingsGuard guard_;

  std::string Ini() const { return dir_.File("zembrio.ini"); }
  void WriteIni(const std::string& text) const { WriteFileAtomically(Ini(), text); }
  std::string ReadIni() const { return ReadWholeFile(Ini()); }
  void Load(const std::string& text) const {
    WriteIni(text);
    LoadSettingsFrom(Ini());
  }
  // Loads the file as it is and saves everything back, as a run with "Sauver" would.
  void SaveAll() const { ASSERT_TRUE(SaveSettingsTo(Ini(), true)); }

  test::TempDir dir_;

 private:
};

TEST_F(IniFileTest, MissingFileGivesDefaults) {
  Settings().MASK = "changed";
  Settings().WNDLEFT = 5;
  ReplacementList().clear();
  LoadSettingsFrom(dir_.File("none.ini"));
  EXPECT_EQ(Settings().MASK, "%N %T");
  EXPECT_EQ(Settings().WNDLEFT, -1);
  EXPECT_EQ(Settings().IMPIDX, 1);
  EXPECT_EQ(ReplacementList(), DefaultPairs());
}

TEST_F(IniFileTest, StateOnlyFileRestoresTheWindowAndDefaultsTheRest) {
  Load("[STATE]\nLASTDIR=/home/u/Musique\nWNDLEFT=10\nWNDHEIGTH=480\nWNDMAXIMIZED=1\n");
  EXPECT_EQ(Settings().LASTDIR, "/home/u/Musique");
  EXPECT_EQ(Settings().WNDLEFT, 10);
  EXPECT_EQ(Settings().WNDHEIGTH, 480);
  EXPECT_TRUE(Settings().WNDMAXIMIZED);
  EXPECT_EQ(Settings().WNDTOP, -1);
  EXPECT_EQ(Settings().TIME_TYPE, 1);
  EXPECT_EQ(ReplacementList(), DefaultPairs());
}

TEST_F(IniFileTest, ReadsNamesWithoutRegardToCase) {
  Load("[settings]\nmask=%T\n  Time_Type = 0 \n[State]\nwndtop=3\n");
  EXPECT_EQ(Settings().MASK, "%T");
  EXPECT_EQ(Settings().TIME_TYPE, 0);
  EXPECT_EQ(Settings().WNDTOP, 3);
}

TEST_F(IniFileTest, ConvertsIntegersAndBooleans) {
  Load(
      "[STATE]\nWNDLEFT=abc\nWNDTOP=0x20\nWNDWIDTH=$20\nWNDHEIGTH=-7\nWNDSPLITTER=99999999999\n"
      "IMPIDX=$FFFFFFFF\n"
      "[SETTINGS]\nZEROINDEX=yes\nSKIPVBRHEADER=2\nADDEXTENSION=0\nTIME_SHOWH=0X1\n"
      "ID3V1TAG=2\nADJUSTSTART=0x\nTIME_TYPE=\n");
  const TSettings& s = Settings();
  EXPECT_EQ(s.WNDTOP, 32);
  EXPECT_EQ(s.WNDWIDTH, 32);
  EXPECT_EQ(s.WNDHEIGTH, -7);
  EXPECT_TRUE(s.SKIPVBRHEADER);
  EXPECT_FALSE(s.ADDEXTENSION);
  EXPECT_TRUE(s.TIME_SHOWH);
  EXPECT_EQ(s.ID3V1TAG, 2);
  // Text that is no number, or a number that does not fit, is read as a missing key.
  EXPECT_EQ(s.WNDLEFT, -1);
  EXPECT_EQ(s.WNDSPLITTER, -1);
  EXPECT_TRUE(s.ZEROINDEX);
  EXPECT_EQ(s.ADJUSTSTART, 1);
  EXPECT_EQ(s.TIME_TYPE, 1);
}

// Every numeric setting the engines act on has its values; one outside them leaves the
// default, as a missing key does, and the command line's --set refuses it.
TEST_F(IniFileTest, ValuesOutOfRangeGiveTheDefault) {
  struct Case {
    const char* Key;
    const char* Value;
    int32_t TSettings::*Field;
    int32_t Expected;
  };
  const Case cases[] = {
      {"ADJUSTSTART", "9", &TSettings::ADJUSTSTART, 1},
      {"ADJUSTSTART", "-1", &TSettings::ADJUSTSTART, 1},
      {"ADJUSTSTART", "3", &TSettings::ADJUSTSTART, 3},
      {"ID3V1TAG", "7", &TSettings::ID3V1TAG, 1},
      {"ID3V1TAG", "yes", &TSettings::ID3V1TAG, 1},
      {"ID3V2TAG", "2", &TSettings::ID3V2TAG, 1},
      {"ID3V2TAG", "0", &TSettings::ID3V2TAG, 0},
      {"SILENCEPOS", "101", &TSettings::SILENCEPOS, 50},
      {"SILENCEDB", "5", &TSettings::SILENCEDB, -48},
      {"TIME_TYPE", "2", &TSettings::TIME_TYPE, 1},
      {"PLAINTEXTFMT", "$FFFFFFFF", &TSettings::PLAINTEXTFMT, 0},
      {"HEARCUT", "0", &TSettings::HEARCUT, 3000},
      {"SNAPQUIET", "2", &TSettings::SNAPQUIET, 0},
      {"SNAPQUIET", "1", &TSettings::SNAPQUIET, 1},
      {"IMPIDX", "4", &TSettings::IMPIDX, 1},
      {"LISTCODEPAGE", "9999", &TSettings::LISTCODEPAGE, 1252},
      {"LISTCODEPAGE", "1249", &TSettings::LISTCODEPAGE, 1252},
      {"LISTCODEPAGE", "1251", &TSettings::LISTCODEPAGE, 1251},
      {"LISTCODEPAGE", "0", &TSettings::LISTCODEPAGE, 0},
  };
  for (const Case& c : cases) {
    const bool state = std::string(c.Key) == "IMPIDX";
    Load(std::string(state ? "[STATE]\n" : "[SETTINGS]\n") + c.Key + "=" + c.Value + "\n");
    EXPECT_EQ(Settings().*c.Field, c.Expected) << c.Key << "=" << c.Value;
    const TSettingResult typed = SetSettingFromText(c.Key, c.Value);
    EXPECT_EQ(typed, Settings().*c.Field == c.Expected && std::to_string(c.Expected) == c.Value
                         ? TSettingResult::Set
                         : TSettingResult::BadValue)
        << c.Key << "=" << c.Value;
    EXPECT_EQ(Settings().*c.Field, c.Expected) << "--set leaves the setting as it was";
  }
  EXPECT_EQ(SettingValuesText("adjuststart"), "un nombre de 0 à 3");
  EXPECT_EQ(SettingValuesText("ZEROINDEX"), "un nombre");
  EXPECT_EQ(SettingValuesText("MASK"), "");
  EXPECT_EQ(SettingValuesText("LISTCODEPAGE"),
            "0 (détecter) ou une page de code Windows : 874, 932, 936, 949, 950, 1250 à 1258");
}

// A FIFO read as a settings file would block at its opening until a writer came.
TEST_F(IniFileTest, ASettingsFileThatIsNoRegularFileGivesTheDefaults) {
  const std::string fifo = dir_.File("fifo.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Settings().MASK = "changed";
  LoadSettingsFrom(fifo);
  EXPECT_EQ(Settings().MASK, "%N %T");
  LoadSettingsFrom(dir_.Path());
  EXPECT_EQ(Settings().MASK, "%N %T");
}

TEST_F(IniFileTest, PresentEmptyValuesAreEmpty) {
  Load("[SETTINGS]\nMASK=\nREPLACE=\n");
  EXPECT_EQ(Settings().MASK, "");
  EXPECT_TRUE(ReplacementList().empty());
  Load("[SETTINGS]\nREPLACE=\"\"\n");
  EXPECT_TRUE(ReplacementList().empty());
}

TEST_F(IniFileTest, QuotedTextsKeepTheirBlanksBareOnesLoseThem) {
  Load("");
  Settings().XMCDSEPTRACK = " / ";
  Settings().TIME_H = "h ";
  Settings().TIME_M = "";
  Settings().MASK = " %T ";
  Settings().VCUTEXE = "/usr/bin/vcut ";
  SaveAll();
  LoadSettingsFrom(Ini());
  EXPECT_EQ(Settings().XMCDSEPTRACK, " / ");
  EXPECT_EQ(Settings().TIME_H, "h ");
  EXPECT_EQ(Settings().TIME_M, "");
  EXPECT_EQ(Settings().MASK, "%T");
  EXPECT_EQ(Settings().VCUTEXE, "/usr/bin/vcut");

  Load("[SETTINGS]\nPLTXTSEP=' - '\nCUTDIR=\"a\"b\"\nJOINNAME=\"x\n");
  EXPECT_EQ(Settings().PLTXTSEP, " - ");
  EXPECT_EQ(Settings().CUTDIR, "a\"b");
  EXPECT_EQ(Settings().JOINNAME, "\"x");
}

TEST_F(IniFileTest, WritesEveryKeyInOrderWithTheDefaultReplaceText) {
  Load("");
  Settings().VCUTEXE = "/usr/bin/vcut";
  SaveAll();
  const std::string expected =
      "[STATE]\nLASTDIR=\nIMPIDX=1\nWNDLEFT=-1\nWNDTOP=-1\nWNDWIDTH=-1\nWNDHEIGTH=-1\n"
      "WNDSPLITTER=-1\nWNDMAXIMIZED=0\n\n[SETTINGS]\nID3V1TAG=1\nID3V2TAG=1\nZEROINDEX=1\n"
      "MASK=%N %T\n"
      "ADDEXTENSION=1\nSKIPVBRHEADER=1\nXINGHEADER=1\nVCUTEXE=/usr/bin/vcut\nPLAINTEXTFMT=0\n"
      "PLTXTSEP=\"/\"\n"
      "XMCDSEPDISC=\" / \"\nXMCDSEPTRACK=\" / \"\nADJUSTSTART=1\nTIME_SHOWH=0\nTIME_TYPE=1\n"
      "TIME_H=\"h \"\nTIME_M=\"m \"\nTIME_S=\"s \"\nTIME_MS=\"ms\"\nTIME_F=\"f\"\n"
      "JOINNAME=\"join_output\"\nCUTDIR=\"\"\n"
      "SILENCEDB=-48\nSILENCEMIN=1000\nSILENCEPOS=50\nTRACKMIN=10000\nHEARCUT=3000\n"
      "LISTCODEPAGE=1252\nSNAPQUIET=0\n" +
      std::string(kDefaultReplace) + "\n";
  EXPECT_EQ(ReadIni(), expected);

  ReplacementList().clear();
  SaveAll();
  EXPECT_NE(ReadIni().find("\nREPLACE=\"\"\n"), std::string::npos);
}

TEST_F(IniFileTest, ReplaceListSurvivesASaveAndALoad) {
  Load("");
  ReplacementList() = {EncodePair({"é", "e"}), EncodePair({"=", ","}), EncodePair({"", ""})};
  const TPairList list = ReplacementList();
  SaveAll();
  ReplacementList().clear();
  LoadSettingsFrom(Ini());
  EXPECT_EQ(ReplacementList(), list);
}

TEST_F(IniFileTest, ReadsHandEditedReplaceLists) {
  // Blanks and commas part the entries; quotes hold an entry together, "" standing for ".
  Load("[SETTINGS]\nREPLACE=\" 2A=2D , \"3F\"\"=2D\",,\t7C=2D 3C=28,\"x,y\"\"\n");
  EXPECT_EQ(ReplacementList(), (TPairList{"2A=2D", "3F\"=2D", "", "7C=2D", "3C=28", "x,y"}));
  // Entries the reader could only take quoted go back out quoted.
  SaveAll();
  const TPairList list = ReplacementList();
  LoadSettingsFrom(Ini());
  EXPECT_EQ(ReplacementList(), list);
}

TEST_F(IniFileTest, ValuesAreReadUpTo2047Characters) {
  std::string replace;
  while (replace.size() < 3000) {
    replace += "41=42,";
  }
  Load("[SETTINGS]\nREPLACE=\"" + replace + "\"\nMASK=" + std::string(2046, 'm') + "é\n");
  // 341 whole entries take 2046 characters; the 342nd is cut to its first character.
  ASSERT_EQ(ReplacementList().size(), 342u);
  EXPECT_EQ(ReplacementList().back(), "4");
  // A UTF-8 character is never cut in two.
  EXPECT_EQ(Settings().MASK, std::string(2046, 'm'));
}

TEST_F(IniFileTest, SavingKeepsEveryOtherLineAsItWas) {
  const std::string before =
      "; settings of my machine\r\n"
      "top=1\r\n"
      "[STATE]\r\n"
      "LastDir = /old\r\n"
      "UNKNOWN=keep me\r\n"
      "\r\n"
      "[PLUGINS]\n"
      "foo=\"bar\"\n"
      "[SETTINGS]\n"
      "mask=%T\n"
      "orphan line without equals\n"
      "FUTURE=1";
  WriteIni(before);
  LoadSettingsFrom(Ini());
  Settings().LASTDIR = "/new";
  ASSERT_TRUE(SaveSettingsTo(Ini(), false));
  // Only the LASTDIR line changed (keeping its ending); missing keys follow the last key.
  const std::string afterState =
      "; settings of my machine\r\n"
      "top=1\r\n"
      "[STATE]\r\n"
      "LASTDIR=/new\r\n"
      "UNKNOWN=keep me\r\n"
      "IMPIDX=1\nWNDLEFT=-1\nWNDTOP=-1\nWNDWIDTH=-1\nWNDHEIGTH=-1\nWNDSPLITTER=-1\n"
      "WNDMAXIMIZED=0\n"
      "\r\n"
      "[PLUGINS]\n"
      "foo=\"bar\"\n"
      "[SETTINGS]\n"
      "mask=%T\n"
      "orphan line without equals\n"
      "FUTURE=1";
  EXPECT_EQ(ReadIni(), afterState);

  SaveAll();
  const std::string after = ReadIni();
  EXPECT_EQ(after.substr(0, afterState.find("mask=")),
            afterState.substr(0, afterState.find("mask=")));
  EXPECT_NE(after.find("\nMASK=%T\norphan line without equals\nFUTURE=1\nID3V1TAG=1\n"),
            std::string::npos);
  EXPECT_EQ(after.find("mask="), std::string::npos);
}

TEST_F(IniFileTest, StateOnlySaveKeepsTheSavedSettings) {
  Load("");
  Settings().MASK = "%T (%N)";
  SaveAll();
  Settings().MASK = "unsaved";
  Settings().WNDWIDTH = 800;
  ReplacementList().clear();
  ASSERT_TRUE(SaveSettingsTo(Ini(), false));
  LoadSettingsFrom(Ini());
  EXPECT_EQ(Settings().MASK, "%T (%N)");
  EXPECT_EQ(Settings().WNDWIDTH, 800);
  EXPECT_EQ(ReplacementList(), DefaultPairs());
}

TEST_F(IniFileTest, ValuesWithLineBreaksCannotInjectLines) {
  Load("");
  Settings().LASTDIR = "/a\n[SETTINGS]\nMASK=evil\r";
  SaveSettingsTo(Ini(), false);
  LoadSettingsFrom(Ini());
  EXPECT_EQ(Settings().MASK, "%N %T");
  EXPECT_EQ(Settings().LASTDIR, "/a[SETTINGS]MASK=evil");
}

TEST_F(IniFileTest, BinaryAndHugeFilesNeverBreakReadingOrSaving) {
  std::mt19937 random(7);
  std::string garbage(256 * 1024, '\0');
  for (char& c : garbage) {
    c = static_cast<char>(random());
  }
  garbage += "\n[SETTINGS]\nMASK=%T\n";
  garbage += std::string(8 << 20, '=');  // one absurdly long line
  garbage += '\0';
  Load(garbage);
  EXPECT_EQ(Settings().MASK, "%T");
  Settings().WNDTOP = 12;
  SaveAll();
  const std::string saved = ReadIni();
  EXPECT_EQ(saved.substr(0, 256 * 1024), garbage.substr(0, 256 * 1024));
  EXPECT_NE(saved.find(std::string(8 << 20, '=') + '\0'), std::string::npos);
  LoadSettingsFrom(Ini());
  EXPECT_EQ(Settings().WNDTOP, 12);
  EXPECT_EQ(Settings().MASK, "%T");
}

TEST_F(IniFileTest, AFailedSaveLeavesTheOldFileWhole) {
  // Nothing can be created below a plain file.
  Load("");
  const std::string blocked = dir_.File("plain") + "/sub/zembrio.ini";
  WriteFileAtomically(dir_.File("plain"), "x");
  EXPECT_FALSE(SaveSettingsTo(blocked, true));

  // A folder that cannot be written (root writes anywhere, so the test needs a user).
  if (geteuid() == 0) {
    GTEST_SKIP() << "running as root";
  }
  const std::string folder = dir_.File("locked");
  ForceDirectories(folder);
  const std::string ini = folder + "/zembrio.ini";
  WriteFileAtomically(ini, "[STATE]\nWNDLEFT=1\n");
  chmod(folder.c_str(), 0555);
  Settings().WNDLEFT = 99;
  EXPECT_FALSE(SaveSettingsTo(ini, true));
  chmod(folder.c_str(), 0755);
  EXPECT_EQ(ReadWholeFile(ini), "[STATE]\nWNDLEFT=1\n");
  EXPECT_EQ(Settings().WNDLEFT, 99);

  // A file that cannot be read is not replaced by one without its other lines.
  chmod(ini.c_str(), 0200);
  EXPECT_FALSE(SaveSettingsTo(ini, true));
  chmod(ini.c_str(), 0644);
  EXPECT_EQ(ReadWholeFile(ini), "[STATE]\nWNDLEFT=1\n");
}

// An installed copy with a settings file beside it that its user cannot write: the settings
// go to the per-user file and are read from there afterwards.
TEST_F(IniFileTest, SettingsThatCannotBeSavedInPlaceGoToTheFallback) {
  WriteFileAtomically(dir_.File("plain"), "x");
  const TSettingsFiles files{dir_.File("plain") + "/zembrio.ini",
                             dir_.File("user/zembrio/zembrio.ini")};
  EXPECT_FALSE(CanWriteSettingsFile(files.Preferred));
  EXPECT_TRUE(CanWriteSettingsFile(files.Fallback));
  EXPECT_EQ(SettingsReadPath(files), files.Preferred);  // nothing saved elsewhere yet

  LoadSettingsFrom(SettingsReadPath(files));
  Settings().MASK = "%T";
  Settings().WNDLEFT = 12;
  EXPECT_EQ(SaveSettingsIn(files, true), TSaveOutcome::SavedToFallback);
  EXPECT_EQ(SettingsReadPath(files), files.Fallback);
  LoadSettingsFrom(SettingsReadPath(files));
  EXPECT_EQ(Settings().MASK, "%T");
  EXPECT_EQ(Settings().WNDLEFT, 12);

  // A file that can be written is used as before, and without a fallback a failure stays one.
  const TSettingsFiles writable{Ini(), files.Fallback};
  EXPECT_EQ(SaveSettingsIn(writable, false), TSaveOutcome::Saved);
  EXPECT_EQ(SettingsReadPath(writable), Ini());
  EXPECT_EQ(SaveSettingsIn({files.Preferred, files.Preferred}, true), TSaveOutcome::Failed);
}

TEST_F(IniFileTest, AReadOnlySettingsFileIsCarriedIntoTheFallback) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "running as root: permissions refuse root nothing";
  }
  const std::string folder = dir_.File("installed");
  ForceDirectories(folder);
  const TSettingsFiles files{folder + "/zembrio.ini", dir_.File("user/zembrio.ini")};
  const std::string shipped = "[SETTINGS]\nMASK=%T\nSITE=kept\n";
  WriteFileAtomically(files.Preferred, shipped);
  chmod(files.Preferred.c_str(), 0444);
  // Even in a folder the user may write, a read-only file is not replaced.
  EXPECT_FALSE(CanWriteSettingsFile(files.Preferred));
  chmod(folder.c_str(), 0555);
  EXPECT_FALSE(CanWriteSettingsFile(files.Preferred));

  LoadSettingsFrom(SettingsReadPath(files));
  EXPECT_EQ(Settings().MASK, "%T");
  Settings().WNDLEFT = 40;
  const TSaveOutcome outcome = SaveSettingsIn(files, false);
  chmod(folder.c_str(), 0755);
  EXPECT_EQ(outcome, TSaveOutcome::SavedToFallback);
  const std::string saved = ReadWholeFile(files.Fallback);
  EXPECT_NE(saved.find("MASK=%T"), std::string::npos) << saved;
  EXPECT_NE(saved.find("SITE=kept"), std::string::npos) << saved;
  EXPECT_NE(saved.find("WNDLEFT=40"), std::string::npos) << saved;
  EXPECT_EQ(ReadWholeFile(files.Preferred), shipped);
  LoadSettingsFrom(SettingsReadPath(files));
  EXPECT_EQ(Settings().WNDLEFT, 40);
  EXPECT_EQ(Settings().MASK, "%T");
}

TEST_F(IniFileTest, SaveCreatesTheMissingFolder) {
  Load("");
  const std::string ini = dir_.File("config/zembrio/zembrio.ini");
  ASSERT_TRUE(SaveSettingsTo(ini, false));
  EXPECT_EQ(ReadWholeFile(ini).substr(0, 16), "[STATE]\nLASTDIR=");
}

TEST_F(IniFileTest, SetSettingFromTextConvertsAsTheReaderDoes) {
  Load("");
  EXPECT_EQ(SetSettingFromText("mask", "  %T  "), TSettingResult::Set);
  EXPECT_EQ(Settings().MASK, "%T");
  EXPECT_EQ(SetSettingFromText("TIME_H", "\"h \""), TSettingResult::Set);
  EXPECT_EQ(Settings().TIME_H, "h ");
  EXPECT_EQ(SetSettingFromText("WNDLEFT", "$20"), TSettingResult::Set);
  EXPECT_EQ(Settings().WNDLEFT, 32);
  EXPECT_EQ(SetSettingFromText("ZEROINDEX", "0"), TSettingResult::Set);
  EXPECT_FALSE(Settings().ZEROINDEX);
  EXPECT_EQ(SetSettingFromText("ZEROINDEX", "no"), TSettingResult::BadValue);
  EXPECT_FALSE(Settings().ZEROINDEX);
  EXPECT_EQ(SetSettingFromText("REPLACE", "2A=2D,3F=2D"), TSettingResult::Set);
  EXPECT_EQ(ReplacementList(), (TPairList{"2A=2D", "3F=2D"}));
  EXPECT_EQ(SetSettingFromText("COLOR", "red"), TSettingResult::UnknownKey);
  EXPECT_EQ(SetSettingFromText("ColName", "3"), TSettingResult::UnknownKey);
}

TEST(ProfileText, FindsTheFirstSectionAndKeyAndAddsMissingOnes) {
  TProfileText profile("[ a ]\nk=1\nk=2\n[A]\nk=3\nj=4\n[b]\n");
  EXPECT_EQ(profile.Read("A", "K"), "1");
  EXPECT_EQ(profile.Read("a", "j"), std::nullopt);
  EXPECT_EQ(profile.Read("c", "k"), std::nullopt);
  profile.Write("b", "n", "5");
  profile.Write("c", "m", "6");
  EXPECT_EQ(profile.Text(), "[ a ]\nk=1\nk=2\n[A]\nk=3\nj=4\n[b]\nn=5\n\n[c]\nm=6\n");

  TProfileText noFinalBreak("[s]\nx=1");
  noFinalBreak.Write("s", "y", "2");
  EXPECT_EQ(noFinalBreak.Text(), "[s]\nx=1\ny=2\n");
}

}  // namespace
}  // namespace zembrio
