// One MPEG audio file opened for a frame walk: the probe (ID3v1 tag, first frame within
// the first 50000 bytes, VBR header) and the counters that the splitter, the statistics
// report and the join take their figures from.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/fileio.h"
#include "mpeg/frameheader.h"
#include "mpeg/xingheader.h"

namespace zembrio {

// What the detail listing of a statistics run receives for every accepted frame.
struct TFrameDetail {
  int32_t Number = 0;  // FrameCount just after counting: the first frame is 1
  int64_t StartSample = 0;
  int64_t EndSample = 0;
  int32_t Bitrate = 0;  // kbit/s
  int32_t BitrateIndex = 0;
};

class IFrameDetailSink {
 public:
  virtual ~IFrameDetailSink() = default;
  virtual void OnFrame(const TFrameDetail& frame) = 0;
};

class TMPGFile {
 public:
  static constexpr int64_t kFirstFrameSearchLimit = 50000;

  TMPGFile() = default;
  TMPGFile(const TMPGFile&) = delete;
  TMPGFile& operator=(const TMPGFile&) = delete;

  // Probes the file; true when a first frame was found and the read position stands on it.
  // When false the object stays usable for a walk from where the search stopped.
  // Throws std::system_error when the file cannot be opened.
  bool Open(const std::string& fileName, bool skipVbrHeader);
  // After an Open that found no first frame: whether frames of one stream follow each other
  // anywhere further in the audio data, however far. The read position and the counters
  // stay as the probe left them, for the walk.
  bool StreamFurtherOn();
  // The audio data starts with a free-format header: its bitrate is not in the header, so
  // its frames have no length to be walked by.
  bool StartsFreeFormat();
  // Opens the file that probed walks for a walk of its own from position on: the same
  // audio data, the frames measured against probed's first frame from the first one on.
  // Blocks are read on the caller's thread only. Throws std::system_error.
  void OpenFrom(const TMPGFile& probed, int64_t position);
  // Starts the walk again at position, the counters cleared.
  void Restart(int64_t position);
  // Adds the counters of a walk that went on from where this one stands, and stands where
  // that one ended: the two walks become one.
  void Append(const TMPGFile& later);
  // Blocks are read only when needed, on the caller's thread.
  void StopReadingAhead();
  HeaderResult ReadHeader();
  void StepBack();
  void ReadData();
  void SkipData();
  void WriteFrame(TOutputFile& output) const;
  // The current frame's bytes, header included, as up to two pieces (size 0 when unused);
  // only after ReadData.
  std::array<std::pair<const uint8_t*, size_t>, 2> FrameBytes() const;
  void WriteTag(TOutputFile& output) const;
  void Close();
  std::string VersionText() const;
  double Progress() const;
  // Read position and size of the whole input file (tag included).
  int64_t Position() const { return input_ ? input_->Position() : 0; }
  int64_t FileSize() const;
  // The header decoded by the last ReadHeader that returned Ok.
  const FrameHeader& CurrentHeader() const { return current_; }
  // The current frame's FullDataLength bytes after its header, once ReadData ran for it
  // (nullptr before); valid until the next ReadHeader.
  const uint8_t* FrameData() const { return frameData_; }

  int64_t AudioSize = 0;  // where the audio data ends: before the ID3v1, APE and Lyrics3 tags
  int32_t DataLength = 0;
  int32_t FullDataLength = 0;
  std::array<uint8_t, 4> Header{};
  std::array<uint8_t, 128> TagData{};
  TBitrateTable BitrateTable{};
  std::array<int32_t, 16> BitrateCount{};
  int32_t FrameCount = 0;
  int64_t StartSample = 0;
  int64_t EndSample = 0;
  int64_t FirstFramePos = 0;
  bool Detail = false;
  int32_t RefVersion = 0;
  int32_t RefSampleRate = 0;
  int32_t RefLayer = 0;
  int32_t RefChannelMode = 0;
  IFrameDetailSink* DetailFile = nullptr;  // not owned
  int32_t ErrorCount = 0;
  int64_t SkippedBytes = 0;
  bool HasTag = false;
  bool HasVBRHeader = false;
  // What the first frame's "Xing"/"Info" header says of the stream, when it has one.
  std::optional<TSourceHeader> SourceHeader;
  // Bytes of an ID3v2 tag passed over whole before the first-frame search.
  int64_t Id3v2Size = 0;
  // Asked every so many bytes of a search for a first frame; false stops the search, as an
  // abort does. Unset: the search runs to its end.
  std::function<bool()> KeepSearching;

 private:
  void ResetCounters();
  // The first-frame search: headers count only when confirmed by NextHeaderConfirms.
  bool FindConfirmedFrame(int64_t searchLimit);
  // True when a header of the same stream starts where this frame ends, or fewer than
  // 4 bytes of audio data lie there. The read position is left unchanged.
  bool NextHeaderConfirms(const FrameHeader& header);
  // True when count more frames of the current frame's stream follow it one after the other
  // (or the audio data ends first). The read position is left unchanged.
  bool ChainFollows(int count);
  // "Xing", "Info" or "VBRI" at the VBR header offset of the frame in the buffer.
  bool HasVbrTag() const;

  std::unique_ptr<TInputFile> input_;
  std::vector<uint8_t> frameBuffer_;
  // The current frame's data after ReadData: in place in the read buffer, or frameBuffer_.
  const uint8_t* frameData_ = nullptr;
  // The current frame was read in place, header and data, from frameStart_ on.
  bool frameInPlace_ = false;
  const uint8_t* frameStart_ = nullptr;
  int64_t frameOffset_ = 0;  // where the current frame's header starts
  FrameHeader current_;
  uint32_t currentKey_ = 0;    // HeaderKey of current_
  bool confirming_ = false;    // inside Open's first-frame search
  bool searchingFar_ = false;  // inside StreamFurtherOn: byte steps need not be kept
  bool continuing_ = false;    // opened by OpenFrom: the reference stream is known
};

}  // namespace zembrio
