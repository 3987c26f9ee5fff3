#include "cutlist/cuewriter.h"

#include <cstdint>

#include "core/fileio.h"
#include "core/platform.h"

namespace zembrio {

namespace {

// A CUE value is quoted and has no escape: a line break would end the statement early.
std::string Quoted(const std::string& text) {
  std::string value = text;
  for (char& c : value) {
    if (c == '\r' || c == '\n')
      c = ' ';
  }
  return "\"" + value + "\"";
}

// mm:ss:ff in CD frames; minutes go past 99 for long sources.
std::string IndexTime(const TCutPoint& point) {
  const int64_t frames = PositionAt(point, kCdFramesPerSecond);
  const int64_t seconds = frames / kCdFramesPerSecond;
  return ZeroPad(seconds / 60, 2) + ":" + ZeroPad(seconds % 60, 2) + ":" +
         ZeroPad(frames % kCdFramesPerSecond, 2);
}

}  // namespace

std::string CueSheetText(const TCPList& list, const std::string& sourcePath, bool mpegSource) {
  std::string text;
  const auto line = [&text](const std::string& statement) { text += statement + "\n"; };
  if (!list.Album.Genre.empty())
    line("REM GENRE " + Quoted(list.Album.Genre));
  if (!list.Album.Date.empty())
    line("REM DATE " + Quoted(list.Album.Date));
  if (!list.Album.AlbumArtist.empty())
    line("PERFORMER " + Quoted(list.Album.AlbumArtist));
  if (!list.Album.Album.empty())
    line("TITLE " + Quoted(list.Album.Album));
  line("FILE " + Quoted(ExtractFileName(sourcePath)) + (mpegSource ? " MP3" : " WAVE"));
  int track = 0;
  for (int index = 0; index < list.Count(); ++index) {
    const TCutPoint& point = list[index];
    if (point.IsNew)
      continue;
    line("  TRACK " + ZeroPad(++track, 2) + " AUDIO");
    line("    TITLE " + Quoted(point.Title.empty() ? point.Name : point.Title));
    if (!point.Artist.empty())
      line("    PERFORMER " + Quoted(point.Artist));
    line("    INDEX 01 " + IndexTime(point));
  }
  return text;
}

void WriteCueSheet(const TCPList& list, const std::string& sourcePath, bool mpegSource,
                   const std::string& path) {
  TOutputFile file(path);
  file.Write(CueSheetText(list, sourcePath, mpegSource));
  file.Close();
}

}  // namespace zembrio
