// What a source file holds, decided by its content: the first bytes of a FLAC stream, a
// RIFF/RF64 WAVE file, an Ogg stream whose first packet is Vorbis or Opus, or MPEG audio
// frames after an optional ID3v2 tag. The name's extension only breaks a tie: a file named
// like MPEG audio whose first bytes prove nothing is handed to the MPEG probe, which finds
// its frames or refuses it. Every other part of the program asks here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zembrio {

enum class TSourceKind { Unknown, Mpeg, OggVorbis, OggOpus, Flac, Wav };

// How many bytes after an ID3v2 tag the MPEG test looks at, as the probe's first-frame search.
constexpr size_t kSourceKindMpegWindow = 50000;

// The ID3v2 tag's whole length when data starts with one (header, footer included), else 0.
uint64_t LeadingId3v2Size(const uint8_t* data, size_t size);

// The decision from the first bytes of a file (after any ID3v2 tag: the caller passes the
// bytes that follow it) and its name's extension with its dot (".mp3"), any letter case.
TSourceKind SourceKindOfBytes(const uint8_t* data, size_t size, std::string_view extension);

// Reads the first bytes of path and decides. Unknown for a file that cannot be opened or
// is not a regular file (a device, a FIFO, a folder): callers say why with SourceRefusal.
TSourceKind DetectSourceKind(const std::string& path);

// The message that refuses path as a source, or an empty text when path is a regular file
// of a kind this program handles.
std::string SourceRefusal(const std::string& path);

// "MPEG", "Ogg Vorbis", "Ogg Opus", "FLAC", "WAV"; "inconnu" for Unknown.
std::string SourceKindName(TSourceKind kind);

// The names the file list shows: MPEG (.mpe, .mp1, .mp2, .mp3), Ogg (.ogg, .opus), FLAC
// (.flac) and WAV (.wav), in any letter case. What the file holds is decided when it is used.
bool IsListedSourceName(std::string_view fileName);

}  // namespace zembrio
