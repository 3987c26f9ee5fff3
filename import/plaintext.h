// The plain text reader: one cut point per line, "time <separator> name" or
// "name <separator> time" (PLAINTEXTFMT, PLTXTSEP), the time read exactly as one typed into
// the grid. Names come from the lines, not from the file-name mask.
#pragma once

#include <string>
#include <vector>

#include "cutlist/cutpoint.h"
#include "import/namemask.h"

namespace zembrio {

// Appends one cut point per line, an empty line included. A digit run too long for 32 bits
// throws TConversionError; the cut points appended before it stay.
void ReadPlainText(TCPList& list, const std::vector<std::string>& lines,
                   const TImportOptions& options = ImportOptionsFromSettings());
// ReadPlainText of a file; an unreadable file throws std::system_error.
void ImportPlainText(TCPList& list, const std::string& path,
                     const TImportOptions& options = ImportOptionsFromSettings());

}  // namespace zembrio
