// The XMCD (freedb) reader: track starts from the frame offsets of the comment header
// (counted from the start of the disc, 150-frame lead-in included), names from DTITLE and
// the TTITLEn lines through the file-name mask.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "cut/runfeedback.h"
#include "cutlist/cutpoint.h"
#include "import/namemask.h"

namespace zembrio {

// The offsets listed after the line "# Track frame offsets:", as texts, in order; the list
// ends at the first comment line that is empty after its "#".
std::vector<std::string> ReadXmcdOffsets(const std::vector<std::string>& lines);
// The remainders of every line that begins with key (case-sensitive, "=" included), joined
// in file order: long values are split over several lines that way.
std::string ReadXmcdValue(const std::vector<std::string>& lines, const std::string& key);
// ReadXmcdValue of every key at once, keyed by the text up to and including each line's
// first "=": one pass over the file however many tracks it lists.
std::unordered_map<std::string, std::string> ReadXmcdValues(const std::vector<std::string>& lines);

// Appends the tracks of the file's lines to list; a file whose first line does not begin
// with "# xmcd" gives nothing. A malformed offset throws TConversionError naming its line,
// the tracks appended before it staying. notes (when given) counts the tracks named by their
// number.
void ReadXmcd(TCPList& list, const std::vector<std::string>& lines, TImportNotes* notes = nullptr,
              const TImportOptions& options = ImportOptionsFromSettings());
// ReadXmcd of a file. Any failure is shown through feedback as "Erreur survenue à l'analyse
// du fich xmcd: <path>", followed by what was wrong and where, and gives false; the tracks
// appended before it stay.
bool ImportXmcd(TCPList& list, IRunFeedback& feedback, const std::string& path,
                TImportNotes* notes = nullptr,
                const TImportOptions& options = ImportOptionsFromSettings());

}  // namespace zembrio
