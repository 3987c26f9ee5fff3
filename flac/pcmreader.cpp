#include "flac/pcmreader.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>

namespace zembrio {

// libFLAC is C: nothing may be thrown through it. Each callback catches what our side
// throws, keeps it and asks the decoder to stop; the caller rethrows it.
struct TFlacPcmReader::TCallbacks {
  static TFlacPcmReader& Of(void* client) { return *static_cast<TFlacPcmReader*>(client); }

  static FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                            size_t* bytes, void* client) {
    TFlacPcmReader& reader = Of(client);
    try {
      *bytes = reader.input_->Read(buffer, *bytes);
    } catch (...) {
      reader.pending_ = std::current_exception();
      *bytes = 0;
      return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }
    return *bytes == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                       : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
  }

  static FLAC__StreamDecoderSeekStatus Seek(const FLAC__StreamDecoder*, FLAC__uint64 offset,
                                            void* client) {
    TFlacPcmReader& reader = Of(client);
    if (offset > static_cast<uint64_t>(reader.input_->Size()))
      return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    reader.input_->Seek(static_cast<int64_t>(offset));
    return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
  }

  static FLAC__StreamDecoderTellStatus Tell(const FLAC__StreamDecoder*, FLAC__uint64* offset,
                                            void* client) {
    *offset = static_cast<uint64_t>(Of(client).input_->Position());
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
  }

  static FLAC__StreamDecoderLengthStatus Length(const FLAC__StreamDecoder*, FLAC__uint64* length,
                                                void* client) {
    *length = static_cast<uint64_t>(Of(client).input_->Size());
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
  }

  static FLAC__bool Eof(const FLAC__StreamDecoder*, void* client) {
    const TInputFile& input = *Of(client).input_;
    return input.Position() >= input.Size();
  }

  static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder* decoder,
                                              const FLAC__Frame* frame,
                                              const FLAC__int32* const buffer[], void* client) {
    TFlacPcmReader& reader = Of(client);
    TFlacPcmFrame pcm;
    // The decoder hands every frame over with its first sample's number, whatever the
    // stream's numbering.
    pcm.FirstSample = frame->header.number.sample_number;
    pcm.Samples = frame->header.blocksize;
    pcm.Channels = frame->header.channels;
    pcm.BitsPerSample = frame->header.bits_per_sample;
    pcm.Channel = buffer;
    FLAC__uint64 end = 0;
    if (FLAC__stream_decoder_get_decode_position(decoder, &end))
      pcm.EndOffset = end;
    reader.decodedEnd_ = pcm.FirstSample + pcm.Samples;
    ++reader.frames_;
    if (!reader.sink_)
      return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    try {
      reader.sink_(pcm);
    } catch (...) {
      reader.pending_ = std::current_exception();
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }

  static void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block,
                       void* client) {
    if (block->type != FLAC__METADATA_TYPE_STREAMINFO)
      return;
    TFlacPcmReader& reader = Of(client);
    const FLAC__StreamMetadata_StreamInfo& s = block->data.stream_info;
    TFlacStreamInfo& info = reader.info_;
    info.MinBlockSize = s.min_blocksize;
    info.MaxBlockSize = s.max_blocksize;
    info.MinFrameSize = s.min_framesize;
    info.MaxFrameSize = s.max_framesize;
    info.SampleRate = s.sample_rate;
    info.Channels = s.channels;
    info.BitsPerSample = s.bits_per_sample;
    info.TotalSamples = s.total_samples;
    std::copy(std::begin(s.md5sum), std::end(s.md5sum), info.Md5.begin());
    reader.gotInfo_ = true;
  }

  static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status,
                    void* client) {
    TFlacPcmReader& reader = Of(client);
    ++reader.errorCount_;
    if (reader.errors_.size() < kKeptErrors)
      reader.errors_.push_back({reader.decodedEnd_, FLAC__StreamDecoderErrorStatusString[status]});
  }
};

namespace {

FLAC__StreamDecoder* DecoderOf(
    const std::unique_ptr<void, TFlacPcmReader::TDecoderDeleter>& handle) {
  return static_cast<FLAC__StreamDecoder*>(handle.get());
}

}  // namespace

void TFlacPcmReader::TDecoderDeleter::operator()(void* decoder) const {
  FLAC__stream_decoder_delete(static_cast<FLAC__StreamDecoder*>(decoder));
}

TFlacPcmReader::TFlacPcmReader(const std::string& path, bool checkMd5, TFrameSink sink)
    : input_(std::make_unique<TInputFile>(path)),
      decoder_(FLAC__stream_decoder_new()),
      checkMd5_(checkMd5),
      sink_(std::move(sink)) {
  if (!decoder_)
    throw std::bad_alloc();
}

TFlacPcmReader::~TFlacPcmReader() = default;

bool TFlacPcmReader::ReadHead() {
  FLAC__StreamDecoder* decoder = DecoderOf(decoder_);
  FLAC__stream_decoder_set_md5_checking(decoder, checkMd5_);
  const auto status = FLAC__stream_decoder_init_stream(
      decoder, TCallbacks::Read, TCallbacks::Seek, TCallbacks::Tell, TCallbacks::Length,
      TCallbacks::Eof, TCallbacks::Write, TCallbacks::Metadata, TCallbacks::Error, this);
  if (status != FLAC__STREAM_DECODER_INIT_STATUS_OK)
    throw std::bad_alloc();  // with callbacks given, only a failed allocation remains
  const bool read = FLAC__stream_decoder_process_until_end_of_metadata(decoder);
  RethrowPending();
  if (!read || !gotInfo_)
    return false;
  // What a frame header can describe; anything else would be divided by or sized from.
  return info_.SampleRate > 0 && info_.SampleRate <= FLAC__MAX_SAMPLE_RATE && info_.Channels >= 1 &&
         info_.Channels <= FLAC__MAX_CHANNELS && info_.BitsPerSample >= 4 &&
         info_.BitsPerSample <= 32;
}

bool TFlacPcmReader::DecodeNext() {
  FLAC__StreamDecoder* decoder = DecoderOf(decoder_);
  const uint64_t before = frames_;
  const uint64_t errorsBefore = errorCount_;
  // A call may only pass over something that is no frame (an error, a metadata block):
  // go on until a frame came or the stream ended.
  for (;;) {
    const bool ok = FLAC__stream_decoder_process_single(decoder);
    RethrowPending();
    const auto state = FLAC__stream_decoder_get_state(decoder);
    if (!ok || state == FLAC__STREAM_DECODER_END_OF_STREAM || state == FLAC__STREAM_DECODER_ABORTED)
      return false;
    if (frames_ != before || errorCount_ != errorsBefore)
      return true;
  }
}

bool TFlacPcmReader::Seek(uint64_t sample) {
  seeked_ = true;
  const bool ok = FLAC__stream_decoder_seek_absolute(DecoderOf(decoder_), sample);
  RethrowPending();
  if (!ok) {
    // A failed seek leaves the decoder needing a flush before it can go on.
    FLAC__stream_decoder_flush(DecoderOf(decoder_));
    return false;
  }
  return true;  // the frame holding sample went to the sink, DecodedEnd is its end
}

TMd5Check TFlacPcmReader::Finish() {
  if (finished_)
    return TMd5Check::Unchecked;
  finished_ = true;
  const bool md5Matched = FLAC__stream_decoder_finish(DecoderOf(decoder_));
  if (!checkMd5_ || seeked_)
    return TMd5Check::Unchecked;
  if (!info_.HasMd5())
    return TMd5Check::Absent;
  return md5Matched ? TMd5Check::Verified : TMd5Check::Different;
}

void TFlacPcmReader::RethrowPending() {
  if (pending_) {
    std::exception_ptr pending = std::exchange(pending_, nullptr);
    std::rethrow_exception(pending);
  }
}

}  // namespace zembrio
