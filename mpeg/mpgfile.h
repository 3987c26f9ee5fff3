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
  // Reads the header at the read position as it stands: Ok, or NoSync / Invalid when no
  // frame starts there (the position is then 4 bytes on), or EndOfData.
  HeaderResult ReadHeader();
  // One step of a frame walk: reads headers, stepping over what is not a frame, until the
  // next frame's header is read (Ok) or the audio data ends (EndOfData). stop() is asked
  // before every further header after a refused one; when it says true the walk stays
  // where it stands, before the header it would read next, and the refused header's result
  // (NoSync or Invalid) is returned.
  template <typename Stop>
  HeaderResult NextFrame(Stop&& stop) {
    for (;;) {
      const HeaderResult result = ReadHeader();
      if (result == Ok || result == EndOfData)
        return result;
      StepBack();
      if (stop())
        return result;
    }
  }
  HeaderResult NextFrame() {
    return NextFrame([] { return false; });
  }
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

  // Where the audio data ends: before the ID3v1, APE and Lyrics3 tags.
  int64_t AudioSize() const { return audioSize_; }
  // The current frame's data length after its header, and the part of it that the audio
  // data holds (less only for a last frame cut short).
  int32_t FullDataLength() const { return fullDataLength_; }
  int32_t DataLength() const { return dataLength_; }
  // The current frame's header bytes.
  const std::array<uint8_t, 4>& Header() const { return header_; }
  // The ID3v1 tag at the end of the file, when HasTag().
  const std::array<uint8_t, 128>& TagData() const { return tagData_; }
  bool HasTag() const { return hasTag_; }
  // The bitrates of the stream's version and layer, and how many frames of each were walked.
  const TBitrateTable& BitrateTable() const { return bitrateTable_; }
  const std::array<int32_t, 16>& BitrateCount() const { return bitrateCount_; }
  // Frames walked, and the samples of the current frame, counted from the walk's start.
  int32_t FrameCount() const { return frameCount_; }
  int64_t StartSample() const { return startSample_; }
  int64_t EndSample() const { return endSample_; }
  int64_t FirstFramePos() const { return firstFramePos_; }
  // The stream the frames are measured against, from the first frame walked.
  int32_t RefVersion() const { return refVersion_; }
  int32_t RefSampleRate() const { return refSampleRate_; }
  int32_t RefLayer() const { return refLayer_; }
  int32_t RefChannelMode() const { return refChannelMode_; }
  // Corrupt stretches counted by the caller (CountError), and the bytes stepped over.
  int32_t ErrorCount() const { return errorCount_; }
  void CountError() { ++errorCount_; }
  int64_t SkippedBytes() const { return skippedBytes_; }
  bool HasVBRHeader() const { return hasVbrHeader_; }
  // What the first frame's "Xing"/"Info" header says of the stream, when it has one.
  const std::optional<TSourceHeader>& SourceHeader() const { return sourceHeader_; }
  // Bytes of an ID3v2 tag passed over whole before the first-frame search.
  int64_t Id3v2Size() const { return id3v2Size_; }
  // Receives every frame of the walk from now on (not owned); nullptr: none.
  void SetDetailSink(IFrameDetailSink* sink) { detailSink_ = sink; }
  // Asked every so many bytes of a search for a first frame; false stops the search, as an
  // abort does. Unset: the search runs to its end.
  void SetKeepSearching(std::function<bool()> keepSearching) {
    keepSearching_ = std::move(keepSearching);
  }

 private:
  void ResetCounters();
  // The header just read becomes the current one (decoded, or the last one with its
  // padding slot when it repeats it); measured: against the reference stream.
  HeaderResult TakeHeader(bool measured);
  // The frame of the header just taken: counted, its samples placed, its data length set.
  void CountFrame(bool measured);
  // Moves on from a refused header to where the next one may start.
  void StepBack();
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

  int64_t audioSize_ = 0;
  int32_t dataLength_ = 0;
  int32_t fullDataLength_ = 0;
  std::array<uint8_t, 4> header_{};
  std::array<uint8_t, 128> tagData_{};
  TBitrateTable bitrateTable_{};
  std::array<int32_t, 16> bitrateCount_{};
  int32_t frameCount_ = 0;
  int64_t startSample_ = 0;
  int64_t endSample_ = 0;
  int64_t firstFramePos_ = 0;
  int32_t refVersion_ = 0;
  int32_t refSampleRate_ = 0;
  int32_t refLayer_ = 0;
  int32_t refChannelMode_ = 0;
  IFrameDetailSink* detailSink_ = nullptr;
  int32_t errorCount_ = 0;
  int64_t skippedBytes_ = 0;
  bool hasTag_ = false;
  bool hasVbrHeader_ = false;
  std::optional<TSourceHeader> sourceHeader_;
  int64_t id3v2Size_ = 0;
  std::function<bool()> keepSearching_;
};

}  // namespace zembrio
