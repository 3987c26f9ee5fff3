// Track lists come from many rippers and from the freedb archive, written in UTF-8 or in
// a Windows code page. They are read into UTF-8 lines here, so that no name built from a
// track list is ever invalid UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zembrio {

// True when every byte sequence of text is well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);
// UTF-8 with a byte-order mark (the mark dropped); else UTF-8 when valid; else the code page
// (LISTCODEPAGE's values: 0 detects it), see import/codepage.h.
std::string DecodeTrackListText(std::string_view bytes, int32_t codePage = 1252);
// Splits at CR LF, LF and CR alone. A line end at the very end gives no empty last line.
std::vector<std::string> SplitLines(std::string_view text);
// Reads the whole file, decodes it in codePage (LISTCODEPAGE's values) and splits it into
// lines; throws std::system_error.
std::vector<std::string> ReadTrackListLines(const std::string& path, int32_t codePage);

}  // namespace zembrio
