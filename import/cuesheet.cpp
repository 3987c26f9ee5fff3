#include "import/cuesheet.h"

#include "core/settings.h"
#include "core/textutil.h"
#include "core/timevalue.h"
#include "import/namemask.h"
#include "import/textfile.h"

namespace zembrio {

namespace {

std::string AsciiUpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper;
}

// Characters 7 and 8 of a TRACK or INDEX line: its two-digit number.
int32_t NumberField(std::string_view line) {
  return ReadDecimal(line.size() > 6 ? line.substr(6, 2) : std::string_view());
}

// The state of one pass over a sheet: the disc fields and the track being collected.
class TCueReader {
 public:
  explicit TCueReader(TCPList& list) : list_(list) {}

  void ReadLine(const std::string& rawLine) {
    const std::string line = Trim(rawLine);
    const std::string head = AsciiUpperCase(TextBeforeQuote(line));
    if (StartsWithText(line, "TRACK")) {
      if (track_ != -1) {
        AddImportedTrack();
      }
      track_ = NumberField(line);
    }
    if (track_ == -1) {
      if (StartsWithText(line, "TITLE")) {
        fields_.DiscTitle = list_.Album.Album = QuotedValue(line);
      } else if (StartsWithText(line, "PERFORMER")) {
        fields_.DiscArtist = list_.Album.AlbumArtist = QuotedValue(line);
      } else if (StartsWithText(line, "REM ")) {
        ReadDiscComment(line);
      }
    } else if (StartsWithText(line, "TITLE")) {
      fields_.Title = QuotedValue(line);
    } else if (StartsWithText(line, "PERFORMER")) {
      fields_.Performer = QuotedValue(line);
    } else if (StartsWithText(line, "INDEX") && timeText_.empty()) {
      ReadIndex(line, head);
    }
  }

  void Finish() {
    if (track_ != -1) {
      AddImportedTrack();
    }
  }

 private:
  // Track 1 may start at its pregap (INDEX 00) so the hidden opening is not lost; every
  // other track starts at INDEX 01. The first qualifying INDEX line of a track wins.
  void ReadIndex(const std::string& line, const std::string& head) {
    const int32_t index = NumberField(line);
    if (index == 1 || (index == 0 && track_ == 1 && Settings().ZEROINDEX)) {
      const size_t keyword = head.find("INDEX");
      if (keyword != std::string::npos && keyword + 9 < head.size()) {
        timeText_ = head.substr(keyword + 9, 8);  // the mm:ss:ff field
      }
    }
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
    const std::string name = ExpandNameMask(Settings().MASK, TMaskOrder::Cue, fields_);
    const TParsedTime time = ParseTime(timeText_, true, false);
    auto point = std::make_unique<TCutPoint>();
    SetFrames(*point, time.Seconds, time.Frames);  // no frame number: stays at 0 s
    point->Name = ImportedName(name);
    point->Title = fields_.Title;
    point->Artist = fields_.Performer;
    list_.Add(std::move(point));
    fields_.Title.clear();
    fields_.Performer.clear();
    timeText_.clear();
  }

  TCPList& list_;
  int32_t track_ = -1;
  TTrackFields fields_;
  std::string timeText_;
};

}  // namespace

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

void ReadCueSheet(TCPList& list, const std::vector<std::string>& lines) {
  TCueReader reader(list);
  for (const std::string& line : lines) {
    reader.ReadLine(line);
  }
  reader.Finish();
}

void ImportCueSheet(TCPList& list, const std::string& path) {
  ReadCueSheet(list, ReadTrackListLines(path));
}

}  // namespace zembrio
