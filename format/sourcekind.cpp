#include "format/sourcekind.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <system_error>
#include <vector>

#include "core/fileio.h"
#include "core/platform.h"
#include "core/textutil.h"
#include "mpeg/frameheader.h"

namespace zembrio {

namespace {

bool StartsWith(const uint8_t* data, size_t size, size_t at, std::string_view magic) {
  return size >= at + magic.size() && std::memcmp(data + at, magic.data(), magic.size()) == 0;
}

bool IsMpegExtension(std::string_view extension) {
  static constexpr std::array<std::string_view, 4> kMpeg = {".mpe", ".mp1", ".mp2", ".mp3"};
  return std::any_of(kMpeg.begin(), kMpeg.end(),
                     [&](std::string_view known) { return SameTextAsciiCase(extension, known); });
}

// The first packet of an Ogg stream starts right after its first page's header and
// segment table; the page must be the stream's first (beginning-of-stream flag).
TSourceKind OggKindOf(const uint8_t* data, size_t size) {
  constexpr size_t kPageHeader = 27;
  if (size < kPageHeader || (data[5] & 0x02) == 0)
    return TSourceKind::Unknown;
  const size_t packet = kPageHeader + data[26];
  if (StartsWith(data, size, packet, "\x01vorbis"))
    return TSourceKind::OggVorbis;
  if (StartsWith(data, size, packet, "OpusHead"))
    return TSourceKind::OggOpus;
  return TSourceKind::Unknown;
}

// An MPEG frame header whose next frame, when it lies inside the window, starts with a
// header of the same stream. A single header at the window's end counts: short files.
bool HoldsMpegFrames(const uint8_t* data, size_t size) {
  const size_t limit = std::min(size, kSourceKindMpegWindow);
  for (size_t at = 0; at + 4 <= limit; ++at) {
    if (data[at] != 0xFF)
      continue;
    FrameHeader first;
    if (Decode(data[at], data[at + 1], data[at + 2], data[at + 3], nullptr, first) != Ok)
      continue;
    const size_t next = at + static_cast<size_t>(first.FrameLength);
    if (next + 4 > size)
      return true;
    const HeaderReference reference{first.VersionId, first.SampleRate, first.LayerCode};
    FrameHeader second;
    if (Decode(data[next], data[next + 1], data[next + 2], data[next + 3], &reference, second) ==
        Ok)
      return true;
  }
  return false;
}

// The bytes after any ID3v2 tag: enough for every test above.
std::vector<uint8_t> ReadHead(const std::string& path) {
  constexpr size_t kHeadSize = 10 + kSourceKindMpegWindow + 8192;
  TInputFile input(path, TInputFile::kReadAheadMinimum);
  std::vector<uint8_t> head(kHeadSize);
  head.resize(input.Read(head.data(), head.size()));
  const uint64_t tag = LeadingId3v2Size(head.data(), head.size());
  if (tag == 0)
    return head;
  input.Seek(static_cast<int64_t>(std::min<uint64_t>(tag, static_cast<uint64_t>(input.Size()))));
  head.assign(kHeadSize, 0);
  head.resize(input.Read(head.data(), head.size()));
  return head;
}

}  // namespace

uint64_t LeadingId3v2Size(const uint8_t* data, size_t size) {
  if (!StartsWith(data, size, 0, "ID3") || size < 10)
    return 0;
  for (size_t i = 6; i < 10; ++i)
    if (data[i] & 0x80)
      return 0;
  const uint64_t body = (uint64_t{data[6]} << 21) | (uint64_t{data[7]} << 14) |
                        (uint64_t{data[8]} << 7) | uint64_t{data[9]};
  const bool footer = (data[5] & 0x10) != 0;
  return 10 + body + (footer ? 10 : 0);
}

TSourceKind SourceKindOfBytes(const uint8_t* data, size_t size, std::string_view extension) {
  if (StartsWith(data, size, 0, "fLaC"))
    return TSourceKind::Flac;
  if ((StartsWith(data, size, 0, "RIFF") || StartsWith(data, size, 0, "RF64") ||
       StartsWith(data, size, 0, "BW64")) &&
      StartsWith(data, size, 8, "WAVE"))
    return TSourceKind::Wav;
  if (StartsWith(data, size, 0, "OggS"))
    return OggKindOf(data, size);
  if (HoldsMpegFrames(data, size) || IsMpegExtension(extension))
    return TSourceKind::Mpeg;
  return TSourceKind::Unknown;
}

TSourceKind DetectSourceKind(const std::string& path) {
  if (!IsRegularFile(path))
    return TSourceKind::Unknown;
  try {
    const std::vector<uint8_t> head = ReadHead(path);
    return SourceKindOfBytes(head.data(), head.size(), ExtractFileExt(path));
  } catch (const std::system_error&) {
    return TSourceKind::Unknown;
  }
}

std::string SourceRefusal(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return path + " : " + std::generic_category().message(errno);
  if (!S_ISREG(info.st_mode))
    return ExtractFileName(path) + " n'est pas un fichier ordinaire : rien n'est lu.";
  if (DetectSourceKind(path) == TSourceKind::Unknown)
    return ExtractFileName(path) +
           " : format non reconnu (MPEG, Ogg Vorbis, Ogg Opus, FLAC ou WAV attendu).";
  return {};
}

std::string SourceKindName(TSourceKind kind) {
  switch (kind) {
    case TSourceKind::Mpeg:
      return "MPEG";
    case TSourceKind::OggVorbis:
      return "Ogg Vorbis";
    case TSourceKind::OggOpus:
      return "Ogg Opus";
    case TSourceKind::Flac:
      return "FLAC";
    case TSourceKind::Wav:
      return "WAV";
    case TSourceKind::Unknown:
      break;
  }
  return "inconnu";
}

bool IsListedSourceName(std::string_view fileName) {
  static constexpr std::array<std::string_view, 8> kExtensions = {".mpe", ".mp1",  ".mp2",  ".mp3",
                                                                  ".ogg", ".opus", ".flac", ".wav"};
  const std::string extension = ExtractFileExt(std::string(fileName));
  return std::any_of(kExtensions.begin(), kExtensions.end(),
                     [&](std::string_view known) { return SameTextAsciiCase(extension, known); });
}

}  // namespace zembrio
