// The CUE sheet reader: one cut point per TRACK, started at its INDEX 01 (track 1 at its
// INDEX 00 when ZEROINDEX is on), named through the file-name mask from the disc's and the
// track's TITLE and PERFORMER. Every other keyword (FILE, REM, FLAGS, ISRC ...) is ignored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cutlist/cutpoint.h"

namespace zembrio {

// The line begins with keyword, ASCII letters compared without case.
bool StartsWithText(std::string_view line, std::string_view keyword);
// Text after the first double quote, without the line's last character (the closing
// quote); empty when the line has no double quote.
std::string QuotedValue(std::string_view line);
// Text before the first double quote (the whole line without one).
std::string TextBeforeQuote(std::string_view line);

// Appends the tracks of the sheet's lines to list. A TRACK or INDEX number that is not a
// number throws TConversionError; the tracks appended before it stay.
void ReadCueSheet(TCPList& list, const std::vector<std::string>& lines);
// ReadCueSheet of a file; an unreadable file throws std::system_error.
void ImportCueSheet(TCPList& list, const std::string& path);

}  // namespace zembrio
