#include "import/importer.h"

#include "core/fileio.h"
#include "core/platform.h"
#include "format/sourcekind.h"
#include "import/cuesheet.h"
#include "import/embeddedcue.h"
#include "import/plaintext.h"
#include "import/xmcd.h"

namespace zembrio {

namespace {

constexpr const char* kNumberedTracks =
    " piste(s) sans nom après le masque : nommée(s) par leur numéro.";

// False when the reader stopped on an error that it reported.
bool RunReader(TCPList& list, IRunFeedback& feedback, const std::string& path, int type,
               const std::string& sourcePath, TImportNotes& notes) {
  switch (type) {
    case tlCue:
      if (!ImportCueSheet(list, path, sourcePath, &notes)) {
        const std::string source = ExtractFileName(sourcePath);
        feedback.ShowInfoText(path + " décrit plusieurs fichiers" +
                              (source.empty() ? "" : ", aucun n'est " + source) +
                              " : rien n'est importé.");
      }
      break;
    case tlXmcd:
      return ImportXmcd(list, feedback, path, &notes);  // shows its own message on failure
    case tlPlainText:
      ImportPlainText(list, path);
      break;
    default:
      break;
  }
  return true;
}

}  // namespace

bool ImportTrackList(TCPList& list, IRunFeedback& feedback, const std::string& path, int type,
                     const std::string& sourcePath) {
  list.Clear();
  TImportNotes notes;
  bool complete = true;
  try {
    if (FileExists(path)) {
      feedback.ShowInfoText(path + " chargé.");
      complete = RunReader(list, feedback, path, type, sourcePath, notes);
    }
  } catch (...) {
    // The grid must not go on showing the rows of the list that was just cleared.
    feedback.RefreshGrid();
    throw;
  }
  if (notes.NumberedTracks > 0)
    feedback.ShowMessage(std::to_string(notes.NumberedTracks) + kNumberedTracks);
  feedback.RefreshGrid();
  return complete;
}

bool LoadTrackListBesideSource(TCPList& list, IRunFeedback& feedback,
                               const std::string& sourcePath) {
  const std::string cuePath = ChangeFileExt(sourcePath, ".cue");
  if (FileExists(cuePath)) {
    return ImportTrackList(list, feedback, cuePath, tlCue, sourcePath);
  }
  const std::string xmcdPath = ChangeFileExt(sourcePath, ".xmcd");
  if (FileExists(xmcdPath)) {
    return ImportTrackList(list, feedback, xmcdPath, tlXmcd);
  }
  list.Clear();
  try {
    if (DetectSourceKind(sourcePath) == TSourceKind::Flac &&
        ImportEmbeddedCueSheet(list, sourcePath))
      feedback.ShowInfoText(sourcePath + " : liste de pistes intégrée chargée.");
  } catch (...) {
    feedback.RefreshGrid();
    throw;
  }
  feedback.RefreshGrid();
  return true;
}

}  // namespace zembrio
