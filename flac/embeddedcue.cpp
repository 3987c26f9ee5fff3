#include "flac/embeddedcue.h"

#include <FLAC/metadata.h>

#include <memory>

#include "core/textutil.h"
#include "cut/runfeedback.h"
#include "flac/trackmetadata.h"

namespace zembrio {

namespace {

struct TCueBlockDeleter {
  void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
};

// The lead-out closes the block's track list: 170 on a CD, 255 otherwise.
bool IsLeadOut(const FLAC__StreamMetadata_CueSheet& sheet, uint32_t index) {
  return index + 1 == sheet.num_tracks;
}

std::vector<TEmbeddedCueTrack> TracksOf(const FLAC__StreamMetadata_CueSheet& sheet) {
  std::vector<TEmbeddedCueTrack> tracks;
  for (uint32_t t = 0; t < sheet.num_tracks; ++t) {
    const FLAC__StreamMetadata_CueSheet_Track& track = sheet.tracks[t];
    if (IsLeadOut(sheet, t) || track.num_indices == 0)
      continue;
    TEmbeddedCueTrack out;
    out.Number = track.number;
    // A track without INDEX 01 starts at its first index.
    out.StartSample = track.offset + track.indices[0].offset;
    for (uint32_t i = 0; i < track.num_indices; ++i) {
      const FLAC__StreamMetadata_CueSheet_Index& index = track.indices[i];
      if (index.number == 1)
        out.StartSample = track.offset + index.offset;
      else if (index.number == 0)
        out.PregapSample = track.offset + index.offset;
    }
    tracks.push_back(out);
  }
  return tracks;
}

std::vector<TEmbeddedCueTrack> ReadCueSheetBlock(const std::string& path) {
  FLAC__StreamMetadata* raw = nullptr;
  if (!FLAC__metadata_get_cuesheet(path.c_str(), &raw))
    return {};  // read a moment ago: a block libFLAC refuses describes no tracks
  const std::unique_ptr<FLAC__StreamMetadata, TCueBlockDeleter> block(raw);
  return TracksOf(block->data.cue_sheet);
}

}  // namespace

std::string CommentValue(const std::vector<std::string>& comments, std::string_view name) {
  for (const std::string& comment : comments) {
    const size_t equals = comment.find('=');
    if (equals != std::string::npos &&
        SameTextAsciiCase(std::string_view(comment).substr(0, equals), name))
      return comment.substr(equals + 1);
  }
  return {};
}

std::optional<TEmbeddedCueSheet> ReadEmbeddedCueSheet(const std::string& path) {
  TFlacSourceMetadata meta;
  try {
    meta = ReadFlacSourceMetadata(path);
  } catch (const TRunError&) {
    return std::nullopt;  // no FLAC stream: nothing embedded
  }
  TEmbeddedCueSheet sheet;
  sheet.SampleRate = meta.StreamInfo.SampleRate;
  sheet.TotalSamples = meta.StreamInfo.TotalSamples;
  sheet.CueText = CommentValue(meta.Comments, "CUESHEET");
  if (meta.HasCueSheetBlock)
    sheet.Tracks = ReadCueSheetBlock(path);
  sheet.Comments = std::move(meta.Comments);
  if (Trim(sheet.CueText).empty() && sheet.Tracks.empty())
    return std::nullopt;
  return sheet;
}

}  // namespace zembrio
