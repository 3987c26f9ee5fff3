#include "import/textfile.h"

#include <gtest/gtest.h>

#include "core/codepages.h"
#include "import/codepage.h"

namespace zembrio {
namespace {

using Lines = std::vector<std::string>;

const std::string kFffd = "\xEF\xBF\xBD";

TEST(TrackListText, ValidUtf8StaysAndTheMarkIsDropped) {
  EXPECT_EQ(DecodeTrackListText("Caf\xC3\xA9"), "Caf\xC3\xA9");
  EXPECT_EQ(DecodeTrackListText("\xEF\xBB\xBF"
                                "Caf\xC3\xA9"),
            "Caf\xC3\xA9");
  EXPECT_EQ(DecodeTrackListText("\xF0\x9F\x8E\xB5"), "\xF0\x9F\x8E\xB5");  // outside the BMP
  // Whatever the code page: it is for text that is not UTF-8.
  EXPECT_EQ(DecodeTrackListText("Caf\xC3\xA9", 1251), "Caf\xC3\xA9");
  EXPECT_EQ(DecodeTrackListText("Caf\xC3\xA9", 0), "Caf\xC3\xA9");
}

// 1252, the default, reads every byte as the lists have always been read, the five that
// iconv refuses included.
TEST(TrackListText, Windows1252ReadsTheAwkwardBytesAsBefore) {
  struct Case {
    const char* Byte;
    const char* Utf8;
  };
  const Case cases[] = {
      {"\x80", "\xE2\x82\xAC"},  // euro sign
      {"\x81", "\xC2\x81"},      // unassigned: the control character of the same code
      {"\x8D", "\xC2\x8D"},     {"\x8F", "\xC2\x8F"}, {"\x90", "\xC2\x90"},
      {"\x9D", "\xC2\x9D"},     {"\x8C", "\xC5\x92"},  // OE ligature
      {"\x96", "\xE2\x80\x93"},                        // en dash
      {"\x9F", "\xC5\xB8"},                            // Y diaeresis
      {"\xA0", "\xC2\xA0"},     {"\xE9", "\xC3\xA9"}, {"\xFF", "\xC3\xBF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeTrackListText(std::string("a") + c.Byte), std::string("a") + c.Utf8)
        << std::hex << int(static_cast<uint8_t>(c.Byte[0]));
    EXPECT_EQ(DecodeTrackListText(std::string(c.Byte) + "\x81", 1252),
              std::string(c.Utf8) + "\xC2\x81");
  }
  EXPECT_EQ(DecodeTrackListText("\xEF\xBB\xBF\xE9"), "\xC3\xA9");
  // Malformed UTF-8: overlong slash, surrogate, beyond U+10FFFF, truncated sequence.
  for (const std::string bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xC3"}) {
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    EXPECT_TRUE(IsValidUtf8(DecodeTrackListText(bad))) << bad;
  }
}

TEST(TrackListText, BytesACodePageCannotConvertBecomeReplacementCharacters) {
  // 0xAA and 0xFF are unassigned in Greek; the letters around them stay.
  EXPECT_EQ(DecodeTrackListText("\xC1\xAA\xE2\xFF", 1253), "\xCE\x91" + kFffd + "\xCE\xB2" + kFffd);
  // Shift-JIS: a lead byte without its second byte at the end, an unassigned pair.
  EXPECT_EQ(DecodeTrackListText("\x82\xA0\x81", 932), "\xE3\x81\x82" + kFffd);
  EXPECT_EQ(DecodeTrackListText("\x85\x40x", 932), kFffd + "@x");
  EXPECT_TRUE(IsValidUtf8(DecodeTrackListText("\xFF\xFE\x80\x81\xFE", 936)));
}

// Every page the setting offers is one this system's iconv knows, and whatever the bytes,
// the names built from them are valid UTF-8.
TEST(TrackListText, EveryOfferedCodePageGivesValidUtf8) {
  std::string bytes;
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    bytes += static_cast<char>(byte);
    bytes += static_cast<char>(0xFF - byte + 0x80);
  }
  for (const TCodePageChoice& choice : ListCodePageChoices()) {
    const std::string text = DecodeTrackListText("x" + bytes, choice.Number);
    EXPECT_TRUE(IsValidUtf8(text)) << choice.Number;
    EXPECT_TRUE(text.starts_with("x")) << choice.Number;
    EXPECT_GE(text.size(), bytes.size() / 2) << choice.Number;
  }
}

TEST(TrackListText, DetectionReadsACyrillicListAndFallsBackTo1252) {
  // "Супер группа" / "Трек первый" in Windows-1251.
  const std::string cyrillic =
      "PERFORMER \"\xD1\xF3\xEF\xE5\xF0 \xE3\xF0\xF3\xEF\xEF\xE0\"\r\n"
      "TITLE \"\xD2\xF0\xE5\xEA \xEF\xE5\xF0\xE2\xFB\xE9\"\r\n";
  EXPECT_EQ(DetectCharset(cyrillic), "CP1251");
  EXPECT_EQ(DecodeTrackListText(cyrillic, 0),
            "PERFORMER \"Супер группа\"\r\nTITLE \"Трек первый\"\r\n");
  // uchardet names ISO 8859-2 here, which has no letters at 0x9A, 0x9D, 0x9E: the bytes
  // are those of the Windows page of the same script.
  const std::string czech = "TITLE \"P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2\"\r\n";
  EXPECT_EQ(DetectCharset(czech), "CP1250");
  EXPECT_EQ(DecodeTrackListText(czech, 0), "TITLE \"Příliš žluťoučký kůň\"\r\n");
  // Too little to tell: read as 1252.
  EXPECT_EQ(DecodeTrackListText("x\xE9", 0), "x\xC3\xA9");
  // Mostly UTF-8, which uchardet takes for UTF-8, with a sequence beyond U+10FFFF that
  // iconv's UTF-8 reader would let through: still read in 1252.
  const std::string mostlyUtf8 =
      "D\xC3\xA9j\xC3\xA0 vu\r\n\xF6\xB9\x94\x96\x91\xBD\xFF\x94"
      "A\r\nD\xC3\xA9j\xC3\xA0\r\n";
  EXPECT_TRUE(IsValidUtf8(DecodeTrackListText(mostlyUtf8, 0)));
}

TEST(TrackListText, EveryKindOfLineEndSplits) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n\nb\r\n"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\r\r\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines(""), Lines{});
}

}  // namespace
}  // namespace zembrio
