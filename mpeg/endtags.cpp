#include "mpeg/endtags.h"

#include <cstring>

namespace zembrio {

namespace {

constexpr int64_t kId3v1Size = 128;
constexpr int64_t kApeFooterSize = 32;  // the header has the same size
constexpr uint32_t kApeHasHeader = 0x80000000u;
constexpr int64_t kLyricsTrailerSize = 15;  // six digits of size, then "LYRICS200"
constexpr char kLyricsBegin[] = "LYRICSBEGIN";
// A file may carry an APE tag and a Lyrics3 block both; more is damage, not tags.
constexpr int kMaxStackedTags = 4;

bool ReadAt(TInputFile& input, int64_t position, uint8_t* dest, size_t count) {
  input.Seek(position);
  return input.Read(dest, count) == count;
}

uint32_t LittleEndian32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

bool ApeFooterEndsAt(TInputFile& input, int64_t end) {
  uint8_t magic[8];
  return end >= kApeFooterSize && ReadAt(input, end - kApeFooterSize, magic, sizeof magic) &&
         std::memcmp(magic, "APETAGEX", 8) == 0;
}

// Where an APE tag whose footer ends at end starts; -1 when none ends there. The size in
// the footer counts the items and the footer; the header, when its flag says there is
// one, comes on top.
int64_t ApeTagStart(TInputFile& input, int64_t end) {
  uint8_t footer[kApeFooterSize];
  if (end < kApeFooterSize || !ReadAt(input, end - kApeFooterSize, footer, sizeof footer) ||
      std::memcmp(footer, "APETAGEX", 8) != 0) {
    return -1;
  }
  const int64_t size = LittleEndian32(footer + 12);
  const bool hasHeader = (LittleEndian32(footer + 20) & kApeHasHeader) != 0;
  const int64_t whole = size + (hasHeader ? kApeFooterSize : 0);
  if (size < kApeFooterSize || whole > end) {
    return -1;
  }
  return end - whole;
}

// Where a Lyrics3 v2 block ending at end starts; -1 when none ends there. Its size, six
// decimal digits before "LYRICS200", counts from "LYRICSBEGIN" up to those digits.
int64_t LyricsBlockStart(TInputFile& input, int64_t end) {
  uint8_t trailer[kLyricsTrailerSize];
  if (end < kLyricsTrailerSize ||
      !ReadAt(input, end - kLyricsTrailerSize, trailer, sizeof trailer) ||
      std::memcmp(trailer + 6, "LYRICS200", 9) != 0) {
    return -1;
  }
  int64_t size = 0;
  for (int i = 0; i < 6; ++i) {
    if (trailer[i] < '0' || trailer[i] > '9') {
      return -1;
    }
    size = size * 10 + (trailer[i] - '0');
  }
  const int64_t start = end - kLyricsTrailerSize - size;
  uint8_t begin[sizeof kLyricsBegin - 1];
  if (size < static_cast<int64_t>(sizeof begin) || start < 0 ||
      !ReadAt(input, start, begin, sizeof begin) ||
      std::memcmp(begin, kLyricsBegin, sizeof begin) != 0) {
    return -1;
  }
  return start;
}

bool IsId3v1At(TInputFile& input, int64_t end) {
  uint8_t magic[3];
  return end >= kId3v1Size && ReadAt(input, end - kId3v1Size, magic, sizeof magic) &&
         std::memcmp(magic, "TAG", 3) == 0;
}

}  // namespace

TEndTags FindEndTags(TInputFile& input, int64_t fileSize) {
  TEndTags tags;
  tags.AudioEnd = fileSize;
  // An APE footer at the very end, even a damaged one, rules out an ID3v1 tag there: a
  // short APE tag may put the "TAG" of its "APETAGEX" header 128 bytes before the end.
  if (const int64_t apeStart = ApeTagStart(input, fileSize); apeStart >= 0) {
    tags.AudioEnd = apeStart;
  } else if (!ApeFooterEndsAt(input, fileSize) && IsId3v1At(input, fileSize)) {
    tags.HasId3v1 = true;
    tags.AudioEnd = fileSize - kId3v1Size;
  } else {
    return tags;
  }
  for (int stacked = 0; stacked < kMaxStackedTags; ++stacked) {
    int64_t start = ApeTagStart(input, tags.AudioEnd);
    if (start < 0 && tags.HasId3v1) {
      start = LyricsBlockStart(input, tags.AudioEnd);  // only ever written before ID3v1
    }
    if (start < 0) {
      break;
    }
    tags.AudioEnd = start;
  }
  return tags;
}

}  // namespace zembrio
