#include "mpeg/mpgfile.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "mpeg/endtags.h"

namespace zembrio {

namespace {

constexpr size_t kId3v2HeaderSize = 10;
constexpr size_t kId3v1TagSize = 128;
constexpr int64_t kPrefetchFrames = 16;
// How often a search for a first frame asks whether to go on, in bytes stepped over.
constexpr int64_t kSearchCheckBytes = 1 << 16;
// Two sync patterns that happen to follow each other in noise are not yet a stream: a
// search past the probe's reach wants this many more frames after them.
constexpr int kStreamChain = 4;

// Size of an ID3v2 tag that starts the file, footer included; 0 when there is none.
int64_t Id3v2TagSize(const uint8_t (&head)[kId3v2HeaderSize]) {
  if (std::memcmp(head, "ID3", 3) != 0 || head[3] == 0xFF || head[4] == 0xFF) {
    return 0;
  }
  int64_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (head[i] >= 0x80) {
      return 0;  // not a syncsafe size: not a tag
    }
    size = (size << 7) | head[i];
  }
  const bool hasFooter = (head[5] & 0x10) != 0;
  return static_cast<int64_t>(kId3v2HeaderSize) + size + (hasFooter ? kId3v2HeaderSize : 0);
}

// The header bits that decoding reads, but for the padding bit; headers with the same key
// decode to the same frame but for its padding slot.
uint32_t HeaderKey(const std::array<uint8_t, 4>& header) {
  return (uint32_t{header[1]} & 0xFE) << 16 | (uint32_t{header[2]} & 0xFC) << 8 |
         (uint32_t{header[3]} & 0xC0);
}

}  // namespace

void TMPGFile::ResetCounters() {
  bitrateCount_.fill(0);
  frameCount_ = 0;
  errorCount_ = 0;
  skippedBytes_ = 0;
}

bool TMPGFile::Open(const std::string& fileName, bool skipVbrHeader) {
  ResetCounters();
  continuing_ = false;
  frameData_ = nullptr;
  frameInPlace_ = false;
  frameBuffer_.clear();
  frameBuffer_.shrink_to_fit();
  // A device or a FIFO may never end, and a read from it may never return.
  if ((FileExists(fileName) || DirectoryExists(fileName)) && !IsRegularFile(fileName)) {
    throw std::runtime_error("« " + fileName + " » n'est pas un fichier ordinaire.");
  }
  input_ = std::make_unique<TInputFile>(fileName);
  audioSize_ = input_->Size();
  hasTag_ = false;
  hasVbrHeader_ = false;
  sourceHeader_.reset();
  id3v2Size_ = 0;

  const TEndTags endTags = FindEndTags(*input_, audioSize_);
  if (endTags.HasId3v1) {
    input_->Seek(audioSize_ - static_cast<int64_t>(kId3v1TagSize));
    hasTag_ = input_->Read(tagData_.data(), tagData_.size()) == tagData_.size();
  }
  // The tags after the audio are neither frames nor garbage: the walk ends before them.
  audioSize_ = endTags.AudioEnd;

  // A cover picture inside an ID3v2 tag is full of sync patterns; pass the tag over whole.
  input_->Seek(0);
  uint8_t head[kId3v2HeaderSize];
  if (input_->Read(head, sizeof head) == sizeof head) {
    id3v2Size_ = std::min(Id3v2TagSize(head), audioSize_);
  }
  input_->Seek(id3v2Size_);
  const int64_t searchLimit = id3v2Size_ + kFirstFrameSearchLimit;

  if (!FindConfirmedFrame(searchLimit)) {
    return false;
  }
  firstFramePos_ = input_->Position() - 4;
  ReadData();
  hasVbrHeader_ = HasVbrTag();
  sourceHeader_ = ReadSourceHeader(frameData_, static_cast<size_t>(fullDataLength_), refVersion_,
                                   refChannelMode_);
  if (hasVbrHeader_ && skipVbrHeader) {
    // The VBR header frame describes the whole source; the walk starts after it.
    if (!FindConfirmedFrame(searchLimit)) {
      return false;
    }
    firstFramePos_ = input_->Position() - 4;
  }
  ResetCounters();
  input_->Seek(firstFramePos_);
  return true;
}

void TMPGFile::OpenFrom(const TMPGFile& probed, int64_t position) {
  input_ = std::make_unique<TInputFile>(probed.input_->Path());
  input_->StopReadingAhead();
  frameData_ = nullptr;
  frameInPlace_ = false;
  audioSize_ = probed.audioSize_;  // the file may have grown since: the same audio data
  tagData_ = probed.tagData_;
  hasTag_ = probed.hasTag_;
  hasVbrHeader_ = probed.hasVbrHeader_;
  sourceHeader_ = probed.sourceHeader_;
  id3v2Size_ = probed.id3v2Size_;
  firstFramePos_ = probed.firstFramePos_;
  bitrateTable_ = probed.bitrateTable_;
  refVersion_ = probed.refVersion_;
  refSampleRate_ = probed.refSampleRate_;
  refLayer_ = probed.refLayer_;
  refChannelMode_ = probed.refChannelMode_;
  continuing_ = true;
  Restart(position);
}

void TMPGFile::Restart(int64_t position) {
  ResetCounters();
  if (input_) {
    input_->Seek(position);
  }
}

void TMPGFile::Append(const TMPGFile& later) {
  frameCount_ += later.frameCount_;
  for (size_t i = 0; i < bitrateCount_.size(); ++i) {
    bitrateCount_[i] += later.bitrateCount_[i];
  }
  errorCount_ += later.errorCount_;
  skippedBytes_ += later.skippedBytes_;
  if (later.frameCount_ > 0) {
    // One stream: every frame holds as many samples as the last one.
    const int64_t perFrame = later.current_.SamplesPerFrame;
    endSample_ = static_cast<int64_t>(frameCount_) * perFrame;
    startSample_ = endSample_ - perFrame;
  }
  if (input_) {
    input_->Seek(later.Position());
  }
}

void TMPGFile::StopReadingAhead() {
  if (input_) {
    input_->StopReadingAhead();
  }
}

bool TMPGFile::FindConfirmedFrame(int64_t searchLimit) {
  struct Confirming {  // over however the search ends, a read error included
    explicit Confirming(bool& flag) : flag_(flag) { flag_ = true; }
    ~Confirming() { flag_ = false; }
    bool& flag_;
  } confirming(confirming_);
  HeaderResult result = ReadHeader();
  int64_t nextCheck = input_->Position() + kSearchCheckBytes;
  while ((result == NoSync || result == Invalid) && input_->Position() < searchLimit) {
    if (keepSearching_ && input_->Position() >= nextCheck) {
      if (!keepSearching_())
        return false;
      nextCheck = input_->Position() + kSearchCheckBytes;
    }
    StepBack();
    result = ReadHeader();
  }
  return result == Ok;
}

bool TMPGFile::StreamFurtherOn() {
  if (!input_) {
    return false;
  }
  const int64_t from = input_->Position();
  const int64_t skipped = skippedBytes_;
  const int32_t errors = errorCount_;
  searchingFar_ = true;
  bool found = false;
  while (!found && FindConfirmedFrame(audioSize_)) {
    found = ChainFollows(kStreamChain);
    if (!found) {
      input_->Seek(frameOffset_ + 1);
    }
    ResetCounters();
  }
  searchingFar_ = false;
  frameCount_ = 0;
  skippedBytes_ = skipped;
  errorCount_ = errors;
  bitrateCount_.fill(0);
  input_->Seek(from);
  return found;
}

bool TMPGFile::StartsFreeFormat() {
  if (!input_) {
    return false;
  }
  const int64_t here = input_->Position();
  uint8_t bytes[4];
  input_->Seek(id3v2Size_);
  const bool read = input_->Read(bytes, sizeof bytes) == sizeof bytes;
  input_->Seek(here);
  if (!read || bytes[0] != 0xFF || (bytes[2] >> 4) != 0) {
    return false;
  }
  // The same header with a bitrate that the tables know decodes: then only the bitrate is
  // missing.
  FrameHeader header;
  return Decode(bytes[0], bytes[1], static_cast<uint8_t>(bytes[2] | 0x10), bytes[3], nullptr,
                header) == Ok;
}

bool TMPGFile::ChainFollows(int count) {
  const int64_t here = input_->Position();
  FrameHeader header = current_;
  int64_t next = frameOffset_ + header.FrameLength;
  bool chained = true;
  for (int i = 0; i < count && chained && audioSize_ - next >= 4; ++i) {
    uint8_t bytes[4];
    input_->Seek(next);
    if (input_->Read(bytes, sizeof bytes) != sizeof bytes) {
      break;
    }
    const HeaderReference reference{header.VersionId, header.SampleRate, header.LayerCode};
    FrameHeader following;
    chained = Decode(bytes[0], bytes[1], bytes[2], bytes[3], &reference, following) == Ok;
    next += following.FrameLength;
    header = following;
  }
  input_->Seek(here);
  return chained;
}

bool TMPGFile::NextHeaderConfirms(const FrameHeader& header) {
  const int64_t here = input_->Position();
  const int64_t next = here - 4 + header.FrameLength;
  if (audioSize_ - next < 4) {
    return true;  // nothing after this frame to compare with
  }
  uint8_t bytes[4];
  input_->Seek(next);
  const bool read = input_->Read(bytes, sizeof bytes) == sizeof bytes;
  input_->Seek(here);
  if (!read) {
    return true;  // the file shrank under us; the walk will meet its end
  }
  const HeaderReference reference{header.VersionId, header.SampleRate, header.LayerCode};
  FrameHeader following;
  return Decode(bytes[0], bytes[1], bytes[2], bytes[3], &reference, following) == Ok;
}

HeaderResult TMPGFile::ReadHeader() {
  frameData_ = nullptr;
  frameInPlace_ = false;
  if (!input_ || audioSize_ - input_->Position() < 4) {
    return EndOfData;
  }
  frameOffset_ = input_->Position();
  if (input_->Read(header_.data(), header_.size()) < header_.size()) {
    return EndOfData;  // the file shrank since it was opened
  }
  if (header_[0] != 0xFF) {
    return NoSync;  // the common case while resynchronising through garbage
  }
  const bool measured = frameCount_ > 0 || continuing_;  // against the reference stream
  const HeaderResult result = TakeHeader(measured);
  if (result == Ok) {
    CountFrame(measured);
  }
  return result;
}

HeaderResult TMPGFile::TakeHeader(bool measured) {
  const uint32_t key = HeaderKey(header_);
  if (measured && key == currentKey_ && !confirming_) {
    // The header repeats the last one but for the padding slot: it decodes alike.
    const int32_t padding = (header_[2] >> 1) & 1;
    current_.FrameLength += (padding - current_.Padding) * PaddingSlotSize(current_.LayerCode);
    current_.DataLength = current_.FrameLength - 4;
    current_.Padding = padding;
    return Ok;
  }
  FrameHeader decoded;
  const HeaderReference reference{refVersion_, refSampleRate_, refLayer_};
  const HeaderResult result = Decode(header_[0], header_[1], header_[2], header_[3],
                                     measured ? &reference : nullptr, decoded);
  if (result != Ok) {
    return result;
  }
  // While looking for the first frame, a lone sync pattern in junk must not become the
  // reference that every real frame is then measured against.
  if (confirming_ && !NextHeaderConfirms(decoded)) {
    return Invalid;
  }
  current_ = decoded;
  currentKey_ = key;
  return Ok;
}

void TMPGFile::CountFrame(bool measured) {
  const FrameHeader& header = current_;
  dataLength_ = fullDataLength_ = header.DataLength;
  if (!measured) {
    bitrateTable_ = *header.BitrateTable;
    refVersion_ = header.VersionId;
    refSampleRate_ = header.SampleRate;
    refLayer_ = header.LayerCode;
    refChannelMode_ = header.ChannelMode;
  }
  ++bitrateCount_[header.BitrateIndex];
  startSample_ = static_cast<int64_t>(frameCount_) * header.SamplesPerFrame;
  ++frameCount_;
  endSample_ = static_cast<int64_t>(frameCount_) * header.SamplesPerFrame;
  // The header a few frames on lies within a few bytes of here: frames of one stream
  // differ in length by their padding slot only.
  input_->Prefetch(input_->Position() + kPrefetchFrames * header.FrameLength);
  const int64_t remaining = audioSize_ - input_->Position();
  if (dataLength_ > remaining) {
    dataLength_ = static_cast<int32_t>(remaining);  // the last frame, cut short
  }
  // The probe's own tries are not frames of the walk.
  if (detailSink_ != nullptr && !confirming_) {
    detailSink_->OnFrame(
        {frameCount_, startSample_, endSample_, header.Bitrate, header.BitrateIndex});
  }
}

void TMPGFile::StepBack() {
  if (!input_) {
    return;
  }
  input_->Seek(std::max<int64_t>(input_->Position() - 3, 0));
  ++skippedBytes_;
  // A header starts with 0xFF: the other bytes of a long damaged stretch (the holes of a
  // sparse file) are passed over at once and counted as the one-byte steps count them,
  // up to the last place a header could start. The first-frame search keeps its steps, so
  // that it stops exactly at its limit.
  if (!confirming_ || searchingFar_) {
    skippedBytes_ += input_->SkipInBufferUntil(0xFF, audioSize_ - 3);
  }
}

void TMPGFile::ReadData() {
  if (!input_) {
    return;
  }
  const auto full = static_cast<size_t>(fullDataLength_);
  // A whole frame inside the read buffer is used where it lies: copying it would cost one
  // more pass over every byte of the file. Its header is taken along, so that the frame can
  // be written from there in one piece.
  if (dataLength_ == fullDataLength_) {
    input_->Seek(frameOffset_);
    if (const uint8_t* inPlace = input_->Peek(header_.size() + full)) {
      input_->Skip(static_cast<int64_t>(header_.size()) + dataLength_);
      frameStart_ = inPlace;
      frameData_ = inPlace + header_.size();
      frameInPlace_ = true;
      return;
    }
    input_->Seek(frameOffset_ + static_cast<int64_t>(header_.size()));
  }
  if (frameBuffer_.size() < full) {
    frameBuffer_.resize(full);
  }
  const size_t got = input_->Read(frameBuffer_.data(), static_cast<size_t>(dataLength_));
  // A frame cut short by the end of the audio keeps its full length, ending in zeros.
  std::fill(frameBuffer_.begin() + static_cast<std::ptrdiff_t>(got),
            frameBuffer_.begin() + static_cast<std::ptrdiff_t>(full), 0);
  frameData_ = frameBuffer_.data();
}

void TMPGFile::SkipData() {
  if (input_) {
    input_->Skip(dataLength_);
  }
}

void TMPGFile::WriteFrame(TOutputFile& output) const {
  const auto full = static_cast<size_t>(fullDataLength_);
  if (frameInPlace_) {
    // Written from the read buffer where the frame lies: consecutive frames go out together
    // in one write, and their bytes are not copied once more on the way.
    output.WriteLent(*input_, frameStart_, header_.size() + full);
    return;
  }
  output.Write(header_.data(), header_.size());
  if (frameData_ != nullptr) {
    output.Write(frameData_, full);
    return;
  }
  // Only reached when ReadData was not called for this frame: keep the frame's length.
  static constexpr uint8_t kZeros[256] = {};
  for (size_t left = full; left > 0;) {
    const size_t chunk = std::min(left, sizeof kZeros);
    output.Write(kZeros, chunk);
    left -= chunk;
  }
}

std::array<std::pair<const uint8_t*, size_t>, 2> TMPGFile::FrameBytes() const {
  const auto full = static_cast<size_t>(fullDataLength_);
  if (frameInPlace_)
    return {{{frameStart_, header_.size() + full}, {nullptr, 0}}};
  if (frameData_ == nullptr)
    return {{{header_.data(), header_.size()}, {nullptr, 0}}};
  return {{{header_.data(), header_.size()}, {frameData_, full}}};
}

void TMPGFile::WriteTag(TOutputFile& output) const {
  output.Write(tagData_.data(), tagData_.size());
}

void TMPGFile::Close() {
  frameData_ = nullptr;
  frameInPlace_ = false;
  input_.reset();
  frameBuffer_.clear();
  frameBuffer_.shrink_to_fit();
}

std::string TMPGFile::VersionText() const {
  return VersionTextOf(refVersion_);
}

double TMPGFile::Progress() const {
  if (audioSize_ <= 0 || !input_) {
    return 0.0;
  }
  const double progress = static_cast<double>(input_->Position()) / static_cast<double>(audioSize_);
  return std::clamp(progress, 0.0, 1.0);
}

int64_t TMPGFile::FileSize() const {
  return input_ ? input_->Size() : 0;
}

// A "Xing" or "Info" header sits in the first frame's data right after the side
// information; a "VBRI" header 32 bytes after the frame header, whatever the channels.
bool TMPGFile::HasVbrTag() const {
  constexpr size_t kVbriOffset = 32;
  const size_t offset = SideInfoLength(refVersion_, refChannelMode_);
  const auto length = static_cast<size_t>(fullDataLength_);
  if (frameData_ == nullptr) {
    return false;
  }
  // "Info" is the same header that encoders write into constant-bitrate files.
  const uint8_t* tag = frameData_ + offset;
  if (offset + 4 <= length &&
      (std::memcmp(tag, "Xing", 4) == 0 || std::memcmp(tag, "Info", 4) == 0)) {
    return true;
  }
  return kVbriOffset + 4 <= length && std::memcmp(frameData_ + kVbriOffset, "VBRI", 4) == 0;
}

}  // namespace zembrio
