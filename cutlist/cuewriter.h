// The cut list as a CUE sheet: one TRACK per cut point at its INDEX 01, titles and
// performers from the tags, the album fields on the disc, FILE naming the source. The
// import reads it back as the same times, titles, performers and album fields.
#pragma once

#include <string>

#include "cutlist/cutpoint.h"

namespace zembrio {

// The sheet's text (UTF-8, one line per statement). A point without a title of its own is
// written with its name as the title, as the import's mask shows a title as the name. The
// FILE line's type is MP3 for an MPEG source (as the format seam tells), WAVE for the others.
std::string CueSheetText(const TCPList& list, const std::string& sourcePath, bool mpegSource);
// Writes the sheet to path; a failed write or close throws std::system_error.
void WriteCueSheet(const TCPList& list, const std::string& sourcePath, bool mpegSource,
                   const std::string& path);

}  // namespace zembrio
