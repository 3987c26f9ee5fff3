#include "import/cuesheet.h"

#include <algorithm>
#include <cctype>

#include "core/casefold.h"
#include "core/platform.h"
#include "core/textutil.h"
#include "core/timevalue.h"
#include "import/namemask.h"
#include "import/textfile.h"

namespace zembrio {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The number of a TRACK or INDEX line: the digits after the keyword and its blanks, as many
// as there are ("TRACK 1", "TRACK 01", "TRACK 120"). end is set after them. A line without
// one throws TConversionError saying what is missing.
int32_t NumberField(std::string_view line, std::string_view keyword, size_t& end) {
  size_t pos = keyword.size();
  while (pos < line.size() && IsBlank(line[pos]))
    ++pos;
  end = pos;
  while (end < line.size() && line[end] >= '0' && line[end] <= '9')
    ++end;
  // Digits followed by ":" begin a time ("INDEX 00:00:00"): the number is missing.
  if (end == pos || (end < line.size() && line[end] == ':')) {
    throw TConversionError("« " + std::string(line) +
                           " » : " + (keyword == "TRACK" ? "numéro de piste" : "numéro d'index") +
                           " manquant");
  }
  return ReadDecimal(line.substr(pos, end - pos));
}

// The file name of a FILE line: quoted, or the words before the file type.
std::string FileNameOf(std::string_view line) {
  const std::string rest = Trim(line.substr(std::string_view("FILE").size()));
  if (const size_t open = rest.find('"'); open != std::string::npos) {
    const size_t close = rest.find('"', open + 1);
    return rest.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
  }
  const size_t type = rest.rfind(' ');
  return type == std::string::npos ? rest : Trim(rest.substr(0, type));
}

// The mm:ss:ff field of an INDEX line. The minutes are read whole: sheets of long mixes
// and audiobooks (and the ones this program saves) go past 99 minutes.
std::string CueTimeField(const std::string& line, size_t start) {
  size_t minutesEnd = start;
  while (minutesEnd < line.size() && std::isdigit(static_cast<unsigned char>(line[minutesEnd])))
    ++minutesEnd;
  const size_t minutesWidth = std::max<size_t>(minutesEnd - start, 2);
  return line.substr(start, minutesWidth + 6);
}

}  // namespace

std::string CueFileStem(std::string_view fileName) {
  std::string_view name = fileName;
  if (const size_t slash = name.find_last_of("/\\"); slash != std::string_view::npos) {
    name = name.substr(slash + 1);
  }
  if (const size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0) {
    name = name.substr(0, dot);
  }
  return FoldUtf8Case(name);
}

namespace {

// The state of one pass over a sheet: the disc fields and the track being collected. A
// sheet naming several files (one per track, as some rippers write) gives only the tracks
// whose start lies in the file named like the source.
class TCueReader {
 public:
  TCueReader(TCPList& list, std::string sourceStem, bool severalFiles,
             const TImportOptions& options)
      : list_(list),
        sourceStem_(std::move(sourceStem)),
        severalFiles_(severalFiles),
        options_(options) {}

  // A number that cannot be read stops the sheet with a message naming the line.
  void ReadLine(const std::string& rawLine) {
    ++lineNumber_;
    try {
      ReadTrimmedLine(Trim(rawLine));
    } catch (const TConversionError& error) {
      throw TConversionError("ligne " + std::to_string(lineNumber_) + " : " + error.what());
    }
  }

  // Tracks named by their number because the mask left their name empty.
  int NumberedTracks() const { return numberedTracks_; }

  // False when the sheet names several files and none of them is the source.
  bool Finish() {
    if (track_ != -1) {
      FinishTrack();
    }
    return !severalFiles_ || matched_;
  }

 private:
  void ReadTrimmedLine(const std::string& line) {
    if (StartsWithText(line, "FILE")) {
      inSource_ = !severalFiles_ || CueFileStem(FileNameOf(line)) == sourceStem_;
      matched_ = matched_ || inSource_;
      return;
    }
    if (StartsWithText(line, "TRACK")) {
      if (track_ != -1) {
        FinishTrack();
      }
      size_t end = 0;
      track_ = NumberField(line, "TRACK", end);
      openedInSource_ = inSource_;
    }
    if (track_ == -1) {
      if (StartsWithText(line, "TITLE")) {
        fields_.DiscTitle = list_.Album.Album = FieldValue(line, "TITLE");
      } else if (StartsWithText(line, "PERFORMER")) {
        fields_.DiscArtist = list_.Album.AlbumArtist = FieldValue(line, "PERFORMER");
      } else if (StartsWithText(line, "REM ")) {
        ReadDiscComment(line);
      }
    } else if (StartsWithText(line, "TITLE")) {
      fields_.Title = FieldValue(line, "TITLE");
    } else if (StartsWithText(line, "PERFORMER")) {
      fields_.Performer = FieldValue(line, "PERFORMER");
    } else if (StartsWithText(line, "INDEX") && !indexTaken_) {
      ReadIndex(line);
    }
  }

  // Track 1 may start at its pregap (INDEX 00) so the hidden opening is not lost; every
  // other track starts at INDEX 01. The first qualifying INDEX line of a track wins.
  void ReadIndex(const std::string& line) {
    size_t end = 0;
    const int32_t index = NumberField(line, "INDEX", end);
    if (index == 1 || (index == 0 && track_ == 1 && options_.ZeroIndex)) {
      indexTaken_ = true;
      while (end < line.size() && IsBlank(line[end]))
        ++end;
      if (inSource_ && end < line.size()) {
        timeText_ = CueTimeField(line, end);
      }
      startsInSource_ = inSource_;
    }
  }

  // A track belongs to the file its start lies in; one without a start, to the file it
  // was opened in.
  void FinishTrack() {
    if (indexTaken_ ? startsInSource_ : openedInSource_) {
      AddImportedTrack();
    }
    fields_.Title.clear();
    fields_.Performer.clear();
    timeText_.clear();
    indexTaken_ = false;
  }

  // The disc's date and genre, as the usual REM lines give them, quoted or not.
  void ReadDiscComment(const std::string& line) {
    const std::string rest = Trim(std::string_view(line).substr(4));
    if (StartsWithText(rest, "DATE ")) {
      list_.Album.Date = RemValue(rest.substr(5));
    } else if (StartsWithText(rest, "GENRE ")) {
      list_.Album.Genre = RemValue(rest.substr(6));
    }
  }

  static std::string RemValue(const std::string& text) {
    const std::string value = Trim(text);
    return value.find('"') == std::string::npos ? value : QuotedValue(value);
  }

  void AddImportedTrack() {
    fields_.Number = TrackNumberText(track_);
    bool numbered = false;
    const std::string name = ImportedTrackName(options_.Mask, TMaskOrder::Cue, fields_, numbered);
    numberedTracks_ += numbered ? 1 : 0;
    const TParsedTime time = ParseTime(timeText_, true, false);
    auto point = std::make_unique<TCutPoint>();
    SetFrames(*point, time.Seconds, time.Frames);  // no frame number: stays at 0 s
    point->Name = name;
    point->Title = fields_.Title;
    point->Artist = fields_.Performer;
    list_.Add(std::move(point));
  }

  TCPList& list_;
  const std::string sourceStem_;
  const bool severalFiles_;
  const TImportOptions& options_;
  bool inSource_ = true;  // a sheet without FILE lines describes the source
  bool matched_ = false;
  bool openedInSource_ = true;
  bool startsInSource_ = true;
  bool indexTaken_ = false;
  int32_t track_ = -1;
  int lineNumber_ = 0;
  int numberedTracks_ = 0;
  TTrackFields fields_;
  std::string timeText_;
};

// The number of an INDEX line, or -1 when it has none: the listing of files never refuses
// a line, the reading of tracks says what is wrong with it.
int32_t IndexNumberOrNone(std::string_view line) {
  try {
    size_t end = 0;
    return NumberField(line, "INDEX", end);
  } catch (const TConversionError&) {
    return -1;
  }
}

// The stem of the file the user chose by name or number; empty when the sheet has none
// such.
std::string ChosenFileStem(const std::vector<TCueFile>& files, const std::string& chosenFile) {
  const bool number = std::all_of(chosenFile.begin(), chosenFile.end(),
                                  [](char c) { return c >= '0' && c <= '9'; });
  if (number && chosenFile.size() <= 9) {
    const size_t index = std::stoul(chosenFile);
    return index >= 1 && index <= files.size() ? CueFileStem(files[index - 1].Name) : "";
  }
  const std::string stem = CueFileStem(chosenFile);
  const bool named = std::any_of(files.begin(), files.end(), [&](const TCueFile& file) {
    return CueFileStem(file.Name) == stem;
  });
  return named ? stem : "";
}

}  // namespace

std::vector<TCueFile> CueSheetFiles(const std::vector<std::string>& lines) {
  std::vector<TCueFile> files;
  std::vector<std::string> stems;
  // A track counts in the file its INDEX 01 lies in, else in the one it was opened in.
  int current = -1;
  int opened = -1;
  int started = -1;
  bool inTrack = false;
  const auto finishTrack = [&] {
    const int file = started != -1 ? started : opened;
    if (inTrack && file != -1)
      ++files[file].Tracks;
  };
  for (const std::string& rawLine : lines) {
    const std::string line = Trim(rawLine);
    if (StartsWithText(line, "FILE")) {
      const std::string name = FileNameOf(line);
      const auto found = std::find(stems.begin(), stems.end(), CueFileStem(name));
      current = static_cast<int>(found - stems.begin());
      if (found == stems.end()) {
        stems.push_back(CueFileStem(name));
        files.push_back({name, 0});
      }
    } else if (StartsWithText(line, "TRACK")) {
      finishTrack();
      inTrack = true;
      opened = current;
      started = -1;
    } else if (inTrack && started == -1 && StartsWithText(line, "INDEX") &&
               IndexNumberOrNone(line) == 1) {
      started = current;
    }
  }
  finishTrack();
  return files;
}

bool StartsWithText(std::string_view line, std::string_view keyword) {
  return line.size() >= keyword.size() &&
         SameTextAsciiCase(line.substr(0, keyword.size()), keyword);
}

std::string QuotedValue(std::string_view line) {
  const size_t quote = line.find('"');
  if (quote == std::string_view::npos) {
    return {};
  }
  std::string_view value = line.substr(quote + 1);
  // Drop the last character, the closing quote; a whole UTF-8 sequence when the sheet
  // lacks one, so the title stays valid text.
  while (!value.empty() && (static_cast<unsigned char>(value.back()) & 0xC0) == 0x80) {
    value.remove_suffix(1);
  }
  if (!value.empty()) {
    value.remove_suffix(1);
  }
  return std::string(value);
}

std::string TextBeforeQuote(std::string_view line) {
  return std::string(line.substr(0, line.find('"')));
}

std::string FieldValue(std::string_view line, std::string_view keyword) {
  if (line.find('"') != std::string_view::npos) {
    return QuotedValue(line);
  }
  return Trim(line.substr(std::min(keyword.size(), line.size())));
}

bool ReadCueSheet(TCPList& list, const std::vector<std::string>& lines,
                  const std::string& sourcePath, TImportNotes* notes, const std::string& chosenFile,
                  const TImportOptions& options) {
  const std::vector<TCueFile> files = CueSheetFiles(lines);
  std::string stem = CueFileStem(ExtractFileName(sourcePath));
  if (!chosenFile.empty()) {
    stem = ChosenFileStem(files, chosenFile);
    if (stem.empty())
      return false;
  }
  // A chosen file is always picked out, even from a sheet of one file.
  TCueReader reader(list, stem, files.size() > 1 || !chosenFile.empty(), options);
  for (const std::string& line : lines) {
    reader.ReadLine(line);
  }
  const bool found = reader.Finish();
  if (notes != nullptr)
    notes->NumberedTracks += reader.NumberedTracks();
  return found;
}

bool ImportCueSheet(TCPList& list, const std::string& path, const std::string& sourcePath,
                    TImportNotes* notes, const std::string& chosenFile,
                    const TImportOptions& options) {
  const std::vector<std::string> lines = ReadTrackListLines(path, options.CodePage);
  try {
    return ReadCueSheet(list, lines, sourcePath, notes, chosenFile, options);
  } catch (const TConversionError& error) {
    throw TConversionError(path + ", " + error.what());
  }
}

}  // namespace zembrio
