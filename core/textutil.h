// Text operations shared by the importers, the settings and the Ogg path: file-name
// cleaning, the replacement list, its hexadecimal storage form, and a few small helpers.
// Text is UTF-8 throughout.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/settings.h"

namespace zembrio {

// The global, ordered replacement list (entries as stored: hex source "=" hex replacement).
TPairList& ReplacementList();

// Deletes every occurrence of each character of chars, in turn.
void RemoveChars(std::string_view chars, std::string& text);
// Removes the nine characters file names may not hold; true when the text became shorter.
bool CleanFileName(std::string& text);
// Runs a name through ReplacementList().
std::string ApplyReplacements(const std::string& name);
// The same with an explicit list.
std::string ApplyReplacementsWith(const TPairList& list, const std::string& name);
// Text with every character below code 32 (NUL, tab, line breaks) replaced as the
// replacement list's control-character rule says (removed without one): for the tags of a
// fragment, which a shell script or a tag reader must get as one line of text.
std::string ReplaceControlCharacters(const std::string& text);
// The file name made from a fragment's name, typed or imported: the replacement list's rules
// for control characters and for the nine characters file names may not hold, then any "/"
// or NUL still left becomes "-". The name never leaves its folder; the text shown in the
// grid and written into the tags keeps every character.
std::string OutputFileName(const std::string& name);

std::string HexEncode(std::string_view text);
std::string HexDecode(std::string_view text);

// Splits a stored pair "HEX=HEX" into its decoded halves.
struct TPair {
  std::string Source;
  std::string Replacement;
};
TPair DecodePair(std::string_view entry);
std::string EncodePair(const TPair& pair);

std::string ChooseText(bool condition, const std::string& text1, const std::string& text2);

// The 32-bit little-endian value at byte 40 (the sample rate of a Vorbis identification
// header); missing bytes count as 0. Throws std::system_error when the file cannot be opened.
int32_t ReadOggSampleRate(const std::string& path);

// Trims leading and trailing characters with codes up to 32.
std::string Trim(std::string_view text);
// The same without a copy.
std::string_view TrimView(std::string_view text);
// Letter case folding of ASCII and the accented Latin letters (É/é, À/à, Ç/ç, Ü/ü ...).
std::string FoldCase(std::string_view text);
bool SameTextIgnoringCase(std::string_view a, std::string_view b);
// Case-insensitive equality of ASCII letters only (A to Z).
bool SameTextAsciiCase(std::string_view a, std::string_view b);

}  // namespace zembrio
