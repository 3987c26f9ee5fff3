#include "core/casefold.h"

namespace zembrio {

namespace {

bool IsContinuationByte(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Lower case of a code point from U+0080 to U+017F whose lower case also takes two bytes
// in UTF-8; any other code point is its own fold.
char32_t FoldTwoByteLetter(char32_t cp) {
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) {  // À..Þ, but not ×
    return cp + 0x20;
  }
  if (cp == 0x178) {  // Ÿ
    return 0xFF;
  }
  const bool evenUpper =
      (cp >= 0x100 && cp <= 0x12F) || (cp >= 0x132 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177);
  if (evenUpper && cp % 2 == 0) {
    return cp + 1;
  }
  const bool oddUpper = (cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E);
  if (oddUpper && cp % 2 == 1) {
    return cp + 1;
  }
  return cp;
}

void AppendTwoByteUtf8(std::string& out, char32_t cp) {
  out += static_cast<char>(0xC0 | (cp >> 6));
  out += static_cast<char>(0x80 | (cp & 0x3F));
}

}  // namespace

std::string FoldUtf8Case(std::string_view text) {
  std::string folded;
  folded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const bool twoByteLead = lead >= 0xC2 && lead <= 0xC5;
    if (twoByteLead && i + 1 < text.size() &&
        IsContinuationByte(static_cast<unsigned char>(text[i + 1]))) {
      const char32_t cp = ((lead & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
      AppendTwoByteUtf8(folded, FoldTwoByteLetter(cp));
      ++i;
    } else {
      folded += FoldAsciiChar(text[i]);
    }
  }
  return folded;
}

}  // namespace zembrio
