// Track lists come from many rippers and from the freedb archive, written in UTF-8 or in
// the Windows code page. They are read into UTF-8 lines here, so that no name built from a
// track list is ever invalid UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zembrio {

// True when every byte sequence of text is well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);
// Each byte as its Windows-1252 character, in UTF-8. The five bytes that code page leaves
// unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same code.
std::string Windows1252ToUtf8(std::string_view bytes);
// UTF-8 with a byte-order mark (the mark dropped); else UTF-8 when valid; else Windows-1252.
std::string DecodeTrackListText(std::string_view bytes);
// Splits at CR LF, LF and CR alone. A line end at the very end gives no empty last line.
std::vector<std::string> SplitLines(std::string_view text);
// Reads the whole file, decodes it and splits it into lines; throws std::system_error.
std::vector<std::string> ReadTrackListLines(const std::string& path);

}  // namespace zembrio
