#include "core/textutil.h"

#include <gtest/gtest.h>

#include <system_error>

#include "framebuilder.h"

namespace zembrio {
namespace {

TPairList Pairs(std::initializer_list<TPair> pairs) {
  TPairList list;
  for (const TPair& pair : pairs) {
    list.push_back(EncodePair(pair));
  }
  return list;
}

TEST(CleanFileName, RemovesTheNineForbiddenCharacters) {
  std::string text = "Track 01 - Intro";
  EXPECT_FALSE(CleanFileName(text));
  EXPECT_EQ(text, "Track 01 - Intro");

  text = "a:b";
  EXPECT_TRUE(CleanFileName(text));
  EXPECT_EQ(text, "ab");

  text = "*?\"/\\<>:|é";
  EXPECT_TRUE(CleanFileName(text));
  EXPECT_EQ(text, "é");
}

TEST(ApplyReplacements, DefaultPairsMakeUsableFileNames) {
  const TPairList& defaults = DefaultPairs();
  EXPECT_EQ(ApplyReplacementsWith(defaults, "AC/DC: Live?"), "AC-DC- Live-");
  EXPECT_EQ(ApplyReplacementsWith(defaults, "a\tb\x01"), "a-b-");
  EXPECT_EQ(ApplyReplacementsWith(defaults, "say \"hi\" <now>|"), "say ''hi'' (now)-");
}

TEST(ApplyReplacements, EmptyListOnlyRemovesControlCharacters) {
  EXPECT_EQ(ApplyReplacementsWith({}, "A/B\tC\r\n"), "A/BC");
}

TEST(ApplyReplacements, ChainsInListOrderWithoutRescanning) {
  EXPECT_EQ(ApplyReplacementsWith(Pairs({{"a", "b"}, {"b", "c"}}), "abba"), "cccc");
  EXPECT_EQ(ApplyReplacementsWith(Pairs({{"b", "c"}, {"a", "b"}}), "abba"), "bccb");
  // Inserted text is not searched again, so a growing pair ends.
  EXPECT_EQ(ApplyReplacementsWith(Pairs({{"a", "aa"}}), "aXa"), "aaXaa");
  EXPECT_EQ(ApplyReplacementsWith(Pairs({{"aa", "b"}}), "aaa"), "ba");
  // The control-character entry may stand anywhere; its replacement is itself replaced later.
  EXPECT_EQ(ApplyReplacementsWith(Pairs({{"-", "_"}, {"", "-"}}), "a\tb"), "a_b");
}

TEST(ApplyReplacements, IgnoresLetterCaseOfAsciiAndAccentedLetters) {
  const TPairList list = Pairs({{"feat.", "ft."}, {"é", "e"}, {"œ", "oe"}, {"Ÿ", "Y"}});
  EXPECT_EQ(ApplyReplacementsWith(list, "A FEAT. B Feat. C"), "A ft. B ft. C");
  EXPECT_EQ(ApplyReplacementsWith(list, "Été ŒUVRE ÿ"), "ete oeUVRE Y");
  // Letters outside the accented sets and unrelated bytes are left alone.
  EXPECT_EQ(ApplyReplacementsWith(list, "É×\xC3"), "e×\xC3");
}

TEST(FoldCase, KeepsEveryByteInPlace) {
  EXPECT_EQ(FoldCase("ÀÉÎÕÜÇÑÞ AZ ×÷ ß"), "àéîõüçñþ az ×÷ ß");
  EXPECT_EQ(FoldCase("ĀĞŁŒŠŽŸ"), "āğłœšžÿ");
  // Broken UTF-8 passes through untouched and keeps its length.
  const std::string broken = "\xC3\xC3\x89\x80\xFF";
  EXPECT_EQ(FoldCase(broken), "\xC3\xC3\xA9\x80\xFF");
  EXPECT_TRUE(SameTextIgnoringCase("ÉCOLE", "école"));
  EXPECT_FALSE(SameTextIgnoringCase("ecole", "école"));
  EXPECT_TRUE(SameTextAsciiCase("Mask", "MASK"));
  EXPECT_FALSE(SameTextAsciiCase("É", "é"));
}

TEST(HexCoding, WorksOnTheBytesOfTheText) {
  EXPECT_EQ(HexEncode("A="), "413D");
  EXPECT_EQ(HexEncode("é"), "C3A9");
  EXPECT_EQ(HexDecode("2f3"), "/");
  EXPECT_EQ(HexDecode("C3a9"), "é");
  EXPECT_EQ(HexDecode("4100"), "A");
  // A pair that is not hexadecimal is passed over.
  EXPECT_EQ(HexDecode("41zz42"), "AB");

  std::string everyByte;
  for (int c = 1; c < 256; ++c) {
    everyByte += static_cast<char>(c);
  }
  EXPECT_EQ(HexDecode(HexEncode(everyByte)), everyByte);
}

TEST(HexCoding, PairsSplitAtTheFirstEqualsSign) {
  const TPair pair{"a=b", "=é"};
  EXPECT_EQ(EncodePair(pair), "613D62=3DC3A9");
  const TPair back = DecodePair(EncodePair(pair));
  EXPECT_EQ(back.Source, "a=b");
  EXPECT_EQ(back.Replacement, "=é");
  EXPECT_EQ(DecodePair("2A").Source, "*");
  EXPECT_EQ(DecodePair("2A").Replacement, "");
}

TEST(ReadOggSampleRate, ReadsTheLittleEndianValueAtByte40) {
  test::TempDir dir;
  test::Bytes header(58, 0);
  header[40] = 0x44;
  header[41] = 0xAC;
  test::WriteFile(dir.File("full.ogg"), header);
  EXPECT_EQ(ReadOggSampleRate(dir.File("full.ogg")), 44100);

  // Missing bytes count as 0.
  test::WriteFile(dir.File("short.ogg"), test::Bytes(header.begin(), header.begin() + 42));
  EXPECT_EQ(ReadOggSampleRate(dir.File("short.ogg")), 44100);
  test::WriteFile(dir.File("tiny.ogg"), test::Bytes(10, 0x7F));
  EXPECT_EQ(ReadOggSampleRate(dir.File("tiny.ogg")), 0);

  EXPECT_THROW(ReadOggSampleRate(dir.File("missing.ogg")), std::system_error);
}

}  // namespace
}  // namespace zembrio
