#include "import/xmcd.h"

#include <exception>

#include "core/textutil.h"
#include "import/namemask.h"
#include "import/textfile.h"

namespace zembrio {

namespace {

constexpr int64_t kLeadInFrames = 150;

bool IsXmcdSignature(const std::string& firstLine) {
  return firstLine.size() >= 6 && SameTextAsciiCase(firstLine.substr(0, 6), "# xmcd");
}

bool IsOffsetListHeader(const std::string& line) {
  return line.find_last_not_of(" \t") != std::string::npos &&
         line.substr(0, line.find_last_not_of(" \t") + 1) == "# Track frame offsets:";
}

// An offset counts from the start of the disc; the fragment starts that much later than
// the two-second lead-in. An offset inside the lead-in keeps the zero time.
void SetTimeFromOffset(TCutPoint& point, int32_t offset) {
  const int64_t frames = offset - kLeadInFrames;
  SetFrames(point, static_cast<int32_t>(frames / kCdFramesPerSecond),
            static_cast<int32_t>(frames % kCdFramesPerSecond));
}

}  // namespace

namespace {

// An offset as written, with the number of its line (from 1) for messages.
struct TOffsetLine {
  std::string Text;
  size_t Line = 0;
};

std::vector<TOffsetLine> ReadOffsetLines(const std::vector<std::string>& lines) {
  std::vector<TOffsetLine> offsets;
  size_t i = 0;
  while (i < lines.size() && !IsOffsetListHeader(lines[i])) {
    ++i;
  }
  for (++i; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty() || line[0] != '#') {
      continue;
    }
    std::string offset = Trim(std::string_view(line).substr(1));
    if (offset.empty()) {
      break;
    }
    offsets.push_back({std::move(offset), i + 1});
  }
  return offsets;
}

}  // namespace

std::vector<std::string> ReadXmcdOffsets(const std::vector<std::string>& lines) {
  std::vector<std::string> offsets;
  for (TOffsetLine& offset : ReadOffsetLines(lines))
    offsets.push_back(std::move(offset.Text));
  return offsets;
}

std::string ReadXmcdValue(const std::vector<std::string>& lines, const std::string& key) {
  std::string value;
  for (const std::string& line : lines) {
    if (line.starts_with(key)) {
      value += line.substr(key.size());
    }
  }
  return value;
}

std::unordered_map<std::string, std::string> ReadXmcdValues(const std::vector<std::string>& lines) {
  std::unordered_map<std::string, std::string> values;
  for (const std::string& line : lines) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) {
      values[line.substr(0, equals + 1)] += line.substr(equals + 1);
    }
  }
  return values;
}

void ReadXmcd(TCPList& list, const std::vector<std::string>& lines, TImportNotes* notes,
              const TImportOptions& options) {
  if (lines.empty() || !IsXmcdSignature(lines[0])) {
    return;
  }
  const std::vector<TOffsetLine> offsets = ReadOffsetLines(lines);
  const auto values = ReadXmcdValues(lines);
  const auto value = [&values](const std::string& key) {
    const auto found = values.find(key);
    return found == values.end() ? std::string() : found->second;
  };
  const TSplitText disc = SplitAtSeparator(value("DTITLE="), options.XmcdDiscSeparator, false);
  TTrackFields fields;
  fields.DiscArtist = disc.First;
  fields.DiscTitle = disc.Second;
  list.Album = {disc.Second, disc.First, Trim(value("DYEAR=")), Trim(value("DGENRE="))};
  for (size_t n = 0; n < offsets.size(); ++n) {
    const std::string key = "TTITLE" + std::to_string(n) + "=";
    const TSplitText track = SplitAtSeparator(value(key), options.XmcdTrackSeparator, false);
    fields.Performer = track.First.empty() ? fields.DiscArtist : track.First;
    fields.Title = track.Second;
    auto point = std::make_unique<TCutPoint>();
    try {
      SetTimeFromOffset(*point, ReadDecimal(offsets[n].Text));
    } catch (const TConversionError& error) {
      throw TConversionError("ligne " + std::to_string(offsets[n].Line) + " : " + error.what());
    }
    fields.Number = TrackNumberText(static_cast<int>(n + 1));
    bool numbered = false;
    point->Name = ImportedTrackName(options.Mask, TMaskOrder::Xmcd, fields, numbered);
    if (numbered && notes != nullptr)
      ++notes->NumberedTracks;
    point->Title = fields.Title;
    point->Artist = fields.Performer;
    list.Add(std::move(point));
  }
}

bool ImportXmcd(TCPList& list, IRunFeedback& feedback, const std::string& path, TImportNotes* notes,
                const TImportOptions& options) {
  try {
    ReadXmcd(list, ReadTrackListLines(path, options.CodePage), notes, options);
    return true;
  } catch (const std::exception& error) {
    feedback.ShowMessage("Erreur survenue à l'analyse du fich xmcd: " + path + ", " + error.what());
    return false;
  }
}

}  // namespace zembrio
