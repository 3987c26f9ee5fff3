// The CUE sheet reader: one cut point per TRACK, started at its INDEX 01 (track 1 at its
// INDEX 00 when ZEROINDEX is on), named through the file-name mask from the disc's and the
// track's TITLE and PERFORMER; FILE lines say which tracks belong to the source. Every
// other keyword (REM, FLAGS, ISRC ...) is ignored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cutlist/cutpoint.h"
#include "import/namemask.h"

namespace zembrio {

// The line begins with keyword, ASCII letters compared without case.
bool StartsWithText(std::string_view line, std::string_view keyword);
// Text after the first double quote, without the line's last character (the closing
// quote); empty when the line has no double quote.
std::string QuotedValue(std::string_view line);
// Text before the first double quote (the whole line without one).
std::string TextBeforeQuote(std::string_view line);
// The value of a keyword's line: QuotedValue when it has a double quote, else the rest of
// the line after the keyword, trimmed (rippers write TITLE Racines too).
std::string FieldValue(std::string_view line, std::string_view keyword);
// A file name without folder and extension, letter case folded: how a FILE line's file
// and the source are compared.
std::string CueFileStem(std::string_view fileName);

// One file that a sheet's FILE lines name (files of the same stem are one), in the order
// the sheet first names them, with the count of tracks that start in it.
struct TCueFile {
  std::string Name;
  int Tracks = 0;
};
std::vector<TCueFile> CueSheetFiles(const std::vector<std::string>& lines);

// Appends the tracks of the sheet's lines to list. A TRACK or INDEX number is read whole,
// however many digits it has; a TRACK or INDEX line without one, or with one too large,
// throws TConversionError naming the line ("ligne 7 : « TRACK  AUDIO » : numéro de piste
// manquant"); the tracks appended before it stay. When the sheet names several files, only
// the tracks that start in the one named like sourcePath are taken; false, with nothing
// appended, when none is. A chosen file (the name of one of the sheet's files, or its
// number 1, 2 ... in CueSheetFiles) takes that file's tracks instead, whatever the source
// is named; false, with nothing appended, when the sheet has no such file. notes (when
// given) counts the tracks named by their number.
bool ReadCueSheet(TCPList& list, const std::vector<std::string>& lines,
                  const std::string& sourcePath = {}, TImportNotes* notes = nullptr,
                  const std::string& chosenFile = {},
                  const TImportOptions& options = ImportOptionsFromSettings());
// ReadCueSheet of a file, its errors beginning with the file's path; an unreadable file
// throws std::system_error.
bool ImportCueSheet(TCPList& list, const std::string& path, const std::string& sourcePath = {},
                    TImportNotes* notes = nullptr, const std::string& chosenFile = {},
                    const TImportOptions& options = ImportOptionsFromSettings());

}  // namespace zembrio
