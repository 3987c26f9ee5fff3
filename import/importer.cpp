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

void RunReader(TCPList& list, IRunFeedback& feedback, const std::string& path, int type,
               const std::string& sourcePath) {
  switch (type) {
    case tlCue:
      if (!ImportCueSheet(list, path, sourcePath)) {
        const std::string source = ExtractFileName(sourcePath);
        feedback.ShowInfoText(path + " décrit plusieurs fichiers" +
                              (source.empty() ? "" : ", aucun n'est " + source) +
                              " : rien n'est importé.");
      }
      break;
    case tlXmcd:
      ImportXmcd(list, feedback, path);  // shows its own message on failure
      break;
    case tlPlainText:
      ImportPlainText(list, path);
      break;
    default:
      break;
  }
}

}  // namespace

void ImportTrackList(TCPList& list, IRunFeedback& feedback, const std::string& path, int type,
                     const std::string& sourcePath) {
  list.Clear();
  try {
    if (FileExists(path)) {
      feedback.ShowInfoText(path + " chargé.");
      RunReader(list, feedback, path, type, sourcePath);
    }
  } catch (...) {
    // The grid must not go on showing the rows of the list that was just cleared.
    feedback.RefreshGrid();
    throw;
  }
  feedback.RefreshGrid();
}

void LoadTrackListBesideSource(TCPList& list, IRunFeedback& feedback,
                               const std::string& sourcePath) {
  const std::string cuePath = ChangeFileExt(sourcePath, ".cue");
  if (FileExists(cuePath)) {
    ImportTrackList(list, feedback, cuePath, tlCue, sourcePath);
    return;
  }
  const std::string xmcdPath = ChangeFileExt(sourcePath, ".xmcd");
  if (FileExists(xmcdPath)) {
    ImportTrackList(list, feedback, xmcdPath, tlXmcd);
    return;
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
}

}  // namespace zembrio
