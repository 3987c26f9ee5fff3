#include "import/textfile.h"

#include "core/fileio.h"
#include "import/codepage.h"

namespace zembrio {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Length of the well-formed UTF-8 sequence at text[pos], or 0 when it is malformed.
size_t SequenceLength(std::string_view text, size_t pos) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(pos);
  if (lead < 0x80) {
    return 1;
  }
  size_t length = 0;
  uint8_t low = 0x80;   // bounds of the second byte, which exclude overlong forms,
  uint8_t high = 0xBF;  // surrogates and codes above U+10FFFF
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (pos + length > text.size() || byte(pos + 1) < low || byte(pos + 1) > high) {
    return 0;
  }
  for (size_t i = 2; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) {
      return 0;
    }
  }
  return length;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    const size_t length = SequenceLength(text, pos);
    if (length == 0) {
      return false;
    }
    pos += length;
  }
  return true;
}

std::string DecodeTrackListText(std::string_view bytes, int32_t codePage) {
  // The mark is dropped; should invalid bytes follow it anyway, the file is read in the
  // code page like any other, so that every name stays valid UTF-8.
  if (bytes.starts_with(kByteOrderMark)) {
    bytes.remove_prefix(kByteOrderMark.size());
  }
  return IsValidUtf8(bytes) ? std::string(bytes) : TrackListTextToUtf8(bytes, codePage);
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') {
      ++start;
    }
  }
  return lines;
}

std::vector<std::string> ReadTrackListLines(const std::string& path, int32_t codePage) {
  return SplitLines(DecodeTrackListText(ReadWholeFile(path), codePage));
}

}  // namespace zembrio
