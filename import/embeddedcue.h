// The track list embedded in a FLAC album image made a cut list: the CUESHEET comment's
// text through the CUE sheet reader, else the CUESHEET block's tracks named from the
// CUE_TRACKnn_TITLE-style comments or numbered by the file-name mask.
#pragma once

#include <cstdint>
#include <string>

#include "core/timevalue.h"
#include "cutlist/cutpoint.h"
#include "import/namemask.h"

namespace zembrio {

// Appends the tracks that the FLAC file at flacPath describes of itself and fills the
// album fields the list does not have yet from the sheet, then from the ALBUM,
// ALBUMARTIST (or ARTIST), DATE and GENRE comments. False, with nothing appended, when
// the file is no FLAC stream or holds no track list. Throws std::system_error when it
// cannot be read, and TConversionError as the CUE sheet reader does.
bool ImportEmbeddedCueSheet(TCPList& list, const std::string& flacPath,
                            const TImportOptions& options = ImportOptionsFromSettings());

// The time of a cut point at sample of a rate Hz source: one that PositionAt brings back
// to that very sample when a CD frame or a millisecond lands there (a CD frame first),
// otherwise the millisecond whose position comes nearest.
TTimeValue CutPointTimeOfSample(uint64_t sample, int32_t rate);

}  // namespace zembrio
