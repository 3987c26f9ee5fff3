// The one place where an MPEG output file (a fragment of a cut, a joined file) gets its
// leading bytes and its ending: a tag given by the caller first, then with a header frame
// a placeholder in front of the first audio frame, the frames, and on Finish the header
// frame filled in by writing over the placeholder, the trailing tag and the close.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/fileio.h"
#include "mpeg/mpgfile.h"
#include "mpeg/xingheader.h"

namespace zembrio {

struct TFragmentOptions {
  std::vector<uint8_t> LeadingTag;  // written first (an ID3v2 tag); empty: none
  // A fresh "Xing"/"Info" header frame before a Layer III stream. Left out when the file
  // cannot be written over later (a pipe): no header is better than a wrong one.
  bool HeaderFrame = false;
  TSourceHeader Source;  // what the fresh header takes over from the source
  size_t BufferSize = TOutputFile::kDefaultBufferSize;
};

// What only the caller knows of the file's audio: the samples to trim at either end.
struct TFragmentTrim {
  int32_t Delay = 0;
  int32_t Padding = 0;
  std::optional<TFragmentMark> Mark;  // where a fragment of a cut lies in its source
};

class TFragmentOutput {
 public:
  // Creates (or truncates) the file and writes the leading tag. Throws std::system_error.
  TFragmentOutput(const std::string& path, TFragmentOptions options);
  TFragmentOutput(const TFragmentOutput&) = delete;
  TFragmentOutput& operator=(const TFragmentOutput&) = delete;

  const std::string& Path() const { return file_.Path(); }
  // The file itself, for bytes that are not frames of a stream (a byte-for-byte copy).
  TOutputFile& File() { return file_; }
  // Appends the source's current frame (read with ReadData). With a header frame, the first
  // frame written is preceded by priming (a priming frame; empty: none).
  void WriteFrame(TMPGFile& source, const std::vector<uint8_t>& priming = {});
  // The same for a frame of the source kept whole, header included.
  void WriteFrame(const std::vector<uint8_t>& frame, const std::vector<uint8_t>& priming = {});
  // True when the file will open with a header frame, once its first Layer III frame comes:
  // only then can it say how many samples to trim.
  bool CanTrim() const { return options_.HeaderFrame && file_.CanSeek(); }
  // Writes out what is buffered: a full disk shows here.
  void Flush() { file_.Flush(); }
  // Fills in the header frame, appends the trailing tag (empty: none) and closes; throws
  // when a write or the close fails. Does nothing once the file is closed.
  void Finish(const TFragmentTrim& trim, const std::vector<uint8_t>& trailingTag = {});
  int64_t FramesWritten() const { return framesWritten_; }
  // A priming frame went in front of the first frame: one frame more to trim at the start.
  bool Primed() const { return primed_; }

 private:
  // Before the first frame (header bytes first): the header frame and the priming frame.
  void Start(const std::array<uint8_t, 4>& first, const std::vector<uint8_t>& priming);
  void StartHeaderFrame(const std::array<uint8_t, 4>& first);
  void Count(const uint8_t* data, size_t size, int64_t offset);
  // Counts a frame's bytes (up to two pieces) for the header frame.
  void CountFrame(const std::array<std::pair<const uint8_t*, size_t>, 2>& parts,
                  int32_t bitrateIndex);

  TOutputFile file_;
  TFragmentOptions options_;
  int64_t headerStart_ = -1;  // where the placeholder lies; -1: no header frame
  std::array<uint8_t, 4> headerBytes_{};
  int64_t headerLength_ = 0;
  int32_t firstBitrateIndex_ = -1;
  bool variableBitrate_ = false;
  TCrc16Stream musicCrc_;
  int64_t framesWritten_ = 0;
  bool primed_ = false;
  TTocBuilder toc_;
};

}  // namespace zembrio
