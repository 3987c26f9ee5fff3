#include "import/textfile.h"

#include <gtest/gtest.h>

namespace zembrio {
namespace {

using Lines = std::vector<std::string>;

TEST(TrackListText, ValidUtf8StaysAndTheMarkIsDropped) {
  EXPECT_EQ(DecodeTrackListText("Caf\xC3\xA9"), "Caf\xC3\xA9");
  EXPECT_EQ(DecodeTrackListText("\xEF\xBB\xBF"
                                "Caf\xC3\xA9"),
            "Caf\xC3\xA9");
  EXPECT_EQ(DecodeTrackListText("\xF0\x9F\x8E\xB5"), "\xF0\x9F\x8E\xB5");  // outside the BMP
}

TEST(TrackListText, AnythingElseIsReadAsWindows1252) {
  EXPECT_EQ(DecodeTrackListText("Caf\xE9"), "Caf\xC3\xA9");
  // The 0x80..0x9F block, unassigned bytes included, and a lone byte after a mark.
  EXPECT_EQ(DecodeTrackListText("\x80\x8C\x96\x81\x9F"),
            "\xE2\x82\xAC\xC5\x92\xE2\x80\x93\xC2\x81\xC5\xB8");
  EXPECT_EQ(DecodeTrackListText("\xEF\xBB\xBF\xE9"), "\xC3\xA9");
  // Malformed UTF-8: overlong slash, surrogate, beyond U+10FFFF, truncated sequence.
  for (const std::string bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xC3"}) {
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    EXPECT_TRUE(IsValidUtf8(DecodeTrackListText(bad))) << bad;
  }
}

TEST(TrackListText, EveryKindOfLineEndSplits) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n\nb\r\n"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\r\r\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines(""), Lines{});
}

}  // namespace
}  // namespace zembrio
