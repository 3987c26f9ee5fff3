#include "import/namemask.h"

#include "importfixture.h"

namespace zembrio {
namespace {

using test::ImportTest;

TEST(NameMask, PlaceholdersIgnoreCaseAndPercentComesInEachReadersOrder) {
  TTrackFields fields{"03", "Intro", "Perf", "Disc", "Artist"};
  EXPECT_EQ(ExpandNameMask("%N %T", TMaskOrder::Cue, fields), "03 Intro");
  EXPECT_EQ(ExpandNameMask("%n-%t-%p-%d-%a", TMaskOrder::Xmcd, fields),
            "03-Intro-Perf-Disc-Artist");
  EXPECT_EQ(ExpandNameMask("%%N", TMaskOrder::Cue, fields), "%03");
  EXPECT_EQ(ExpandNameMask("100%%D", TMaskOrder::Cue, fields), "100Disc");
  EXPECT_EQ(ExpandNameMask("100%%D", TMaskOrder::Xmcd, fields), "100%Disc");
  // A field holding a placeholder is expanded by a later step.
  fields.Title = "%A";
  EXPECT_EQ(ExpandNameMask("%T", TMaskOrder::Cue, fields), "Artist");
  fields.DiscArtist = "";
  EXPECT_EQ(ExpandNameMask("%A - %N", TMaskOrder::Cue, fields), " - 03");
}

TEST(NameMask, SplitAtSeparatorTrimsOnlyWhenFound) {
  auto split = [](std::string_view text, std::string_view sep, bool fromEnd) {
    const TSplitText parts = SplitAtSeparator(text, sep, fromEnd);
    return parts.First + "|" + parts.Second;
  };
  EXPECT_EQ(split("a - b", "-", false), "a|b");
  EXPECT_EQ(split("x-y-z", "-", true), "x-y|z");
  EXPECT_EQ(split(" abc ", "-", false), "| abc ");
  EXPECT_EQ(split("abc", "", false), "|abc");
  EXPECT_EQ(split("abc", "", true), "ab|c");
  EXPECT_EQ(split("ab\xC3\xA9", "", true), "ab|\xC3\xA9");  // the last character, not byte
  EXPECT_EQ(split("", "", true), "|");
}

TEST_F(ImportTest, ImportedNamesNeverLeaveTheDestinationFolder) {
  EXPECT_EQ(ImportedName("AC/DC: Live?"), "AC-DC- Live-");
  ReplacementList().clear();  // a user may have emptied the list
  EXPECT_EQ(ImportedName("../../x"), "..-..-x");
  EXPECT_EQ(ImportedName(std::string("a\0b", 3)), "ab");  // control characters removed
  // A pair that brings a slash back in is undone too.
  ReplacementList() = {EncodePair({"+", "/"})};
  EXPECT_EQ(ImportedName("a+b"), "a-b");
}

}  // namespace
}  // namespace zembrio
