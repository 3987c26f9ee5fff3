#include "core/settingstable.h"

#include <gtest/gtest.h>

#include <set>

#include "core/fileio.h"
#include "core/inifile.h"
#include "core/textutil.h"
#include "framebuilder.h"
#include "tests/support/settingsguard.h"

namespace zembrio {
namespace {

// A value of the row that is not its default, as the settings file would hold it.
std::string OtherValue(const TSettingRow& row) {
  if (IsTextSetting(row))
    return "x" + std::string(row.Name);
  if (row.Choices)
    return row.NumberDefault == 1251 ? "1250" : "1251";
  if (row.Range)
    return std::to_string(row.NumberDefault == row.Range->High ? row.Range->Low : row.Range->High);
  return row.NumberDefault == 0 ? "1" : "0";
}

TEST(SettingsTable, KeysAreUniqueAndEveryDefaultIsAValueTheKeyTakes) {
  std::set<std::string> names;
  for (const TSettingRow& row : SettingRows()) {
    EXPECT_TRUE(names.insert(std::string(row.Name)).second) << row.Name;
    EXPECT_TRUE(row.Section == kStateSection || row.Section == kSettingsSection) << row.Name;
    EXPECT_FALSE(row.Meaning.empty()) << row.Name;
    if (IsNumberSetting(row)) {
      EXPECT_TRUE(TakesNumber(row, row.NumberDefault)) << row.Name;
    }
    EXPECT_EQ(FindSettingRow(row.Name), &row);
  }
  EXPECT_EQ(FindSettingRow("silencedb"), RowOfField(&TSettings::SILENCEDB));
  EXPECT_EQ(FindSettingRow("ColName"), nullptr);
  EXPECT_EQ(RowOfField(&TSettings::ColName), nullptr);
}

// The ends of every range are taken, one beyond either is refused and leaves the setting.
TEST(SettingsTable, RangesAreTakenToTheirEndsAndNoFurther) {
  test::SettingsGuard guard;
  for (const TSettingRow& row : SettingRows()) {
    if (!row.Range)
      continue;
    for (const int32_t inside : {row.Range->Low, row.Range->High}) {
      EXPECT_EQ(SetSettingFromText(std::string(row.Name), std::to_string(inside)),
                TSettingResult::Set)
          << row.Name << "=" << inside;
      EXPECT_EQ(SettingNumber(row, Settings()), inside) << row.Name;
    }
    for (const int64_t outside : {int64_t{row.Range->Low} - 1, int64_t{row.Range->High} + 1}) {
      EXPECT_EQ(SetSettingFromText(std::string(row.Name), std::to_string(outside)),
                TSettingResult::BadValue)
          << row.Name << "=" << outside;
      EXPECT_EQ(SettingNumber(row, Settings()), row.Range->High) << row.Name;
    }
  }
}

TEST(SettingsTable, AFreshRecordAndRestoreGiveTheTableDefaults) {
  test::SettingsGuard guard;
  const TSettings fresh;
  TSettings& s = Settings();
  for (const TSettingRow& row : SettingRows()) {
    if (IsTextSetting(row)) {
      EXPECT_EQ(SettingText(row, fresh), row.TextDefault) << row.Name;
      if (!row.FoundDefault)
        SetSettingText(row, s, "changed");
    } else if (IsNumberSetting(row)) {
      EXPECT_EQ(SettingNumber(row, fresh), row.NumberDefault) << row.Name;
      SetSettingNumber(row, s, row.NumberDefault + 1);
    }
  }
  TPairList pairs;
  ApplyDefaults(pairs);
  for (const TSettingRow& row : SettingRows()) {
    const bool restored = row.Section == kSettingsSection && !row.FoundDefault;
    if (IsTextSetting(row) && restored) {
      EXPECT_EQ(SettingText(row, s), row.TextDefault) << row.Name;
    } else if (IsNumberSetting(row)) {
      EXPECT_EQ(SettingNumber(row, s) == row.NumberDefault, restored) << row.Name;
    }
  }
}

class SettingsFileBytes : public ::testing::Test {
 protected:
  test::SettingsGuard guard_;
  test::TempDir dir_;
};

// Every key changed at once is written as the program has always written it, and reads back.
TEST_F(SettingsFileBytes, AChangedRecordIsWrittenAsBeforeAndReadsBack) {
  const std::string ini = dir_.File("zembrio.ini");
  LoadSettingsFrom(ini);
  for (const TSettingRow& row : SettingRows()) {
    if (row.Name != "REPLACE") {
      ASSERT_EQ(SetSettingFromText(std::string(row.Name), OtherValue(row)), TSettingResult::Set)
          << row.Name;
    }
  }
  ReplacementList() = {EncodePair({"&", " et "})};
  ASSERT_TRUE(SaveSettingsTo(ini, true));
  const std::string expected =
      "[STATE]\nLASTDIR=xLASTDIR\nIMPIDX=3\nWNDLEFT=0\nWNDTOP=0\nWNDWIDTH=0\nWNDHEIGTH=0\n"
      "WNDSPLITTER=0\nWNDMAXIMIZED=1\n\n[SETTINGS]\nID3V1TAG=2\nID3V2TAG=0\nZEROINDEX=0\n"
      "MASK=xMASK\nADDEXTENSION=0\nSKIPVBRHEADER=0\nXINGHEADER=0\nVCUTEXE=xVCUTEXE\n"
      "PLAINTEXTFMT=1\nPLTXTSEP=\"xPLTXTSEP\"\nXMCDSEPDISC=\"xXMCDSEPDISC\"\n"
      "XMCDSEPTRACK=\"xXMCDSEPTRACK\"\nADJUSTSTART=3\nTIME_SHOWH=1\nTIME_TYPE=0\n"
      "TIME_H=\"xTIME_H\"\nTIME_M=\"xTIME_M\"\nTIME_S=\"xTIME_S\"\nTIME_MS=\"xTIME_MS\"\n"
      "TIME_F=\"xTIME_F\"\nJOINNAME=\"xJOINNAME\"\nCUTDIR=\"xCUTDIR\"\nSILENCEDB=-1\n"
      "SILENCEMIN=600000\nSILENCEPOS=100\nTRACKMIN=36000000\nHEARCUT=60000\n"
      "LISTCODEPAGE=1251\nSNAPQUIET=1\nREPLACE=\"26=20657420\"\n";
  EXPECT_EQ(ReadWholeFile(ini), expected);

  const TSettings written = Settings();
  Settings() = TSettings{};
  LoadSettingsFrom(ini);
  for (const TSettingRow& row : SettingRows()) {
    if (IsTextSetting(row)) {
      EXPECT_EQ(SettingText(row, Settings()), SettingText(row, written)) << row.Name;
    } else if (IsNumberSetting(row)) {
      EXPECT_EQ(SettingNumber(row, Settings()), SettingNumber(row, written)) << row.Name;
    }
  }
  EXPECT_EQ(ReplacementList(), (TPairList{EncodePair({"&", " et "})}));
}

}  // namespace
}  // namespace zembrio
