// Track list import: CUE sheets, XMCD files and plain text lists fill the cut list; imported
// titles become names through the file-name mask and the replacement list.
#pragma once

#include <string>
#include <vector>

#include "cut/runfeedback.h"
#include "cutlist/cutpoint.h"
#include "import/cuesheet.h"

namespace zembrio {

enum TTrackListType : int { tlCue = 1, tlXmcd = 2, tlPlainText = 3 };

// Clears the list, shows "<path> chargé." and runs the reader of the given type, then asks
// feedback to refresh the grid (which adds the zero point). A missing file gives an empty
// list and no text; a type outside 1..3 reads nothing. Errors of a reader (a malformed
// number, an unreadable file) propagate after the grid refresh, the cut points read before
// them staying; the XMCD reader shows its own message through feedback instead. A CUE sheet
// that names several files gives the tracks of the one named like sourcePath, and says so
// when there is none (a message, with the list of the sheet's files); cueFile, the name or
// number of one of the sheet's files, takes that file's tracks instead. Tracks whose name the mask
// leaves empty are named by their number, which a message says once. False when the reader stopped
// on an error it reported itself (XMCD; a CUE sheet that gave nothing of the source): the list then
// holds only the tracks before it.
bool ImportTrackList(TCPList& list, IRunFeedback& feedback, const std::string& path, int type,
                     const std::string& sourcePath = {}, const std::string& cueFile = {},
                     const TImportOptions& options = ImportOptionsFromSettings());

// The files a CUE sheet names, with their counts of tracks, in the sheet's order: what the
// user chooses from when none of them is the source. Throws std::system_error.
std::vector<TCueFile> ReadCueSheetFiles(const std::string& path, int32_t codePage);

// The track list beside a source: its ".cue", else its ".xmcd" file; an empty path when
// there is neither.
struct TTrackListFile {
  std::string Path;
  int Type = 0;
};
TTrackListFile TrackListBesideSource(const std::string& sourcePath);

// The ".cue", then ".xmcd" file beside a source, then the track list a FLAC source holds
// of itself (its CUESHEET comment or block); otherwise the list is cleared and the grid
// refreshed. False as ImportTrackList says. A plain text list is never loaded this way.
bool LoadTrackListBesideSource(TCPList& list, IRunFeedback& feedback, const std::string& sourcePath,
                               const std::string& cueFile = {},
                               const TImportOptions& options = ImportOptionsFromSettings());

}  // namespace zembrio
