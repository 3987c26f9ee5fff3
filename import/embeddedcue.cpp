#include "import/embeddedcue.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "core/textutil.h"
#include "flac/embeddedcue.h"
#include "import/cuesheet.h"
#include "import/namemask.h"

namespace zembrio {

namespace {

constexpr int64_t kMsPerSecond = 1000;

// The embedded text's lines, a ripper's CR LF ends included.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

void FillIfEmpty(std::string& field, const std::string& value) {
  if (field.empty())
    field = value;
}

void FillAlbumFields(TAlbumFields& album, const std::vector<std::string>& comments) {
  FillIfEmpty(album.Album, CommentValue(comments, "ALBUM"));
  FillIfEmpty(album.AlbumArtist, CommentValue(comments, "ALBUMARTIST"));
  FillIfEmpty(album.AlbumArtist, CommentValue(comments, "ARTIST"));
  FillIfEmpty(album.Date, CommentValue(comments, "DATE"));
  FillIfEmpty(album.Genre, CommentValue(comments, "GENRE"));
}

// A track field of the block's tracks: CUE_TRACK01_TITLE for track 1.
std::string TrackComment(const std::vector<std::string>& comments, uint32_t number,
                         const char* field) {
  char name[48];
  std::snprintf(name, sizeof name, "CUE_TRACK%02u_%s", number, field);
  return CommentValue(comments, name);
}

bool ReadCueText(TCPList& list, const TEmbeddedCueSheet& sheet, const std::string& flacPath,
                 const TImportOptions& options) {
  const int before = list.Count();
  if (!ReadCueSheet(list, LinesOf(sheet.CueText), flacPath, nullptr, {}, options))
    return false;
  return list.Count() > before;
}

void ReadBlockTracks(TCPList& list, const TEmbeddedCueSheet& sheet, const TImportOptions& options) {
  const auto rate = static_cast<int32_t>(sheet.SampleRate);
  for (size_t i = 0; i < sheet.Tracks.size(); ++i) {
    const TEmbeddedCueTrack& track = sheet.Tracks[i];
    // Track 1 may start at its pregap, as with a CUE sheet file, so no opening is lost.
    const bool fromPregap =
        i == 0 && track.Number == 1 && track.PregapSample.has_value() && options.ZeroIndex;
    const uint64_t start = fromPregap ? *track.PregapSample : track.StartSample;
    // A track past the audio (a data track of an enhanced CD) has nothing to cut.
    if (sheet.TotalSamples > 0 && start >= sheet.TotalSamples)
      continue;
    TTrackFields fields;
    fields.Number = TrackNumberText(static_cast<int>(track.Number));
    fields.Title = TrackComment(sheet.Comments, track.Number, "TITLE");
    fields.Performer = TrackComment(sheet.Comments, track.Number, "PERFORMER");
    fields.DiscTitle = list.Album.Album;
    fields.DiscArtist = list.Album.AlbumArtist;
    auto point = std::make_unique<TCutPoint>();
    AssignTime(*point, CutPointTimeOfSample(start, rate));
    // Without a title, what the empty fields leave around the number goes.
    point->Name = ImportedName(Trim(ExpandNameMask(options.Mask, TMaskOrder::Cue, fields)));
    point->Title = fields.Title;
    point->Artist = fields.Performer;
    list.Add(std::move(point));
  }
}

}  // namespace

TTimeValue CutPointTimeOfSample(uint64_t sample, int32_t rate) {
  TTimeValue value;
  if (rate <= 0)
    return value;
  const auto wideRate = static_cast<uint64_t>(rate);
  const auto seconds = static_cast<int32_t>(std::min<uint64_t>(sample / wideRate, INT32_MAX));
  const auto rest = static_cast<int64_t>(sample % wideRate);
  // The smallest count of units whose position (truncated, as PositionAt has it) is not
  // below rest; exact when it lands on rest.
  const auto landing = [&](int64_t unitsPerSecond) {
    return (rest * unitsPerSecond + rate - 1) / rate;
  };
  const int64_t frames = landing(kCdFramesPerSecond);
  if (frames < kCdFramesPerSecond && frames * rate / kCdFramesPerSecond == rest) {
    SetFrames(value, seconds, static_cast<int32_t>(frames));
    return value;
  }
  const int64_t above = landing(kMsPerSecond);
  const int64_t below = above - 1;  // above > 0 here: rest 0 is a CD frame
  const int64_t aboveBy = above * rate / kMsPerSecond - rest;
  const int64_t belowBy = rest - below * rate / kMsPerSecond;
  const int64_t ms = aboveBy <= belowBy ? above : below;
  if (ms >= kMsPerSecond && seconds < INT32_MAX)
    SetMilliseconds(value, seconds + 1, 0);
  else
    SetMilliseconds(value, seconds, static_cast<int32_t>(std::min<int64_t>(ms, kMsPerSecond - 1)));
  return value;
}

bool ImportEmbeddedCueSheet(TCPList& list, const std::string& flacPath,
                            const TImportOptions& options) {
  const std::optional<TEmbeddedCueSheet> sheet = ReadEmbeddedCueSheet(flacPath);
  if (!sheet)
    return false;
  const int before = list.Count();
  // The comment's text holds the titles; the block only the times.
  if (Trim(sheet->CueText).empty() || !ReadCueText(list, *sheet, flacPath, options)) {
    FillAlbumFields(list.Album, sheet->Comments);
    ReadBlockTracks(list, *sheet, options);
  }
  FillAlbumFields(list.Album, sheet->Comments);
  return list.Count() > before;
}

}  // namespace zembrio
