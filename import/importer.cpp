#include "import/importer.h"

#include <utility>

#include "core/fileio.h"
#include "core/platform.h"
#include "format/sourcekind.h"
#include "import/cuesheet.h"
#include "import/embeddedcue.h"
#include "import/plaintext.h"
#include "import/textfile.h"
#include "import/xmcd.h"

namespace zembrio {

namespace {

constexpr const char* kNumberedTracks =
    " piste(s) sans nom après le masque : nommée(s) par leur numéro.";

// The sheet's files, one per line, so the user can choose one of them.
std::string CueFileListText(const std::string& path, int32_t codePage) {
  std::string text = "Fichiers de la liste :";
  int number = 0;
  for (const TCueFile& file : ReadCueSheetFiles(path, codePage)) {
    text += "\n  " + std::to_string(++number) + ". " + file.Name + " (" +
            std::to_string(file.Tracks) + " piste(s))";
  }
  return text;
}

// Why nothing was taken from the sheet. A message rather than an info text: it must reach
// the user wherever the program's output goes.
std::string NothingImportedText(const std::string& path, const std::string& sourcePath,
                                const std::string& cueFile) {
  if (!cueFile.empty())
    return path + " ne décrit aucun fichier « " + cueFile + " » : rien n'est importé.";
  const std::string source = ExtractFileName(sourcePath);
  return path + " décrit plusieurs fichiers" + (source.empty() ? "" : ", aucun n'est " + source) +
         " : rien n'est importé.";
}

// False when the reader stopped on an error that it reported.
bool RunReader(TCPList& list, IRunFeedback& feedback, const std::string& path, int type,
               const std::string& sourcePath, const std::string& cueFile, TImportNotes& notes,
               const TImportOptions& options) {
  switch (type) {
    case tlCue:
      if (!ImportCueSheet(list, path, sourcePath, &notes, cueFile, options)) {
        feedback.ShowMessage(NothingImportedText(path, sourcePath, cueFile) + "\n" +
                             CueFileListText(path, options.CodePage));
        return false;
      }
      break;
    case tlXmcd:
      return ImportXmcd(list, feedback, path, &notes, options);  // shows its own message on failure
    case tlPlainText:
      ImportPlainText(list, path, options);
      break;
    default:
      break;
  }
  return true;
}

}  // namespace

bool ImportTrackList(TCPList& list, IRunFeedback& feedback, const std::string& path, int type,
                     const std::string& sourcePath, const std::string& cueFile,
                     const TImportOptions& options) {
  list.Clear();
  TImportNotes notes;
  bool complete = true;
  try {
    if (FileExists(path)) {
      feedback.ShowInfoText(path + " chargé.");
      complete = RunReader(list, feedback, path, type, sourcePath, cueFile, notes, options);
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

std::vector<TCueFile> ReadCueSheetFiles(const std::string& path, int32_t codePage) {
  return CueSheetFiles(ReadTrackListLines(path, codePage));
}

TTrackListFile TrackListBesideSource(const std::string& sourcePath) {
  for (const auto& [extension, type] : {std::pair{".cue", tlCue}, std::pair{".xmcd", tlXmcd}}) {
    if (std::string path = ChangeFileExt(sourcePath, extension); FileExists(path))
      return {std::move(path), type};
  }
  return {};
}

bool LoadTrackListBesideSource(TCPList& list, IRunFeedback& feedback, const std::string& sourcePath,
                               const std::string& cueFile, const TImportOptions& options) {
  const TTrackListFile beside = TrackListBesideSource(sourcePath);
  if (beside.Type == tlCue) {
    return ImportTrackList(list, feedback, beside.Path, tlCue, sourcePath, cueFile, options);
  }
  if (beside.Type == tlXmcd) {
    return ImportTrackList(list, feedback, beside.Path, tlXmcd, {}, {}, options);
  }
  list.Clear();
  try {
    if (DetectSourceKind(sourcePath) == TSourceKind::Flac &&
        ImportEmbeddedCueSheet(list, sourcePath, options))
      feedback.ShowInfoText(sourcePath + " : liste de pistes intégrée chargée.");
  } catch (...) {
    feedback.RefreshGrid();
    throw;
  }
  feedback.RefreshGrid();
  return true;
}

}  // namespace zembrio
