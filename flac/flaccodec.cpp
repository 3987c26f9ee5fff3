#include "flac/flaccodec.h"

#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>

namespace zembrio {

namespace {

struct TDecoderClose {
  void operator()(FLAC__StreamDecoder* d) const {
    FLAC__stream_decoder_finish(d);
    FLAC__stream_decoder_delete(d);
  }
};
using TDecoderPtr = std::unique_ptr<FLAC__StreamDecoder, TDecoderClose>;

struct TEncoderClose {
  void operator()(FLAC__StreamEncoder* e) const { FLAC__stream_encoder_delete(e); }
};
using TEncoderPtr = std::unique_ptr<FLAC__StreamEncoder, TEncoderClose>;

// One frame behind a STREAMINFO of its stream: enough for libFLAC to decode it alone. A
// fresh decoder per frame: libFLAC fills what it takes for missing frames between the
// frames it sees, and the frames a cut decodes are far apart.
struct TFrameSource {
  std::vector<uint8_t> Bytes;
  size_t Read = 0;
  TPcmSamples* Out = nullptr;
  uint32_t Channels = 0;
  uint32_t Decoded = 0;
  bool Failed = false;
};

FLAC__StreamDecoderReadStatus ReadFrameSource(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                              size_t* bytes, void* client) {
  auto& source = *static_cast<TFrameSource*>(client);
  const size_t take = std::min(*bytes, source.Bytes.size() - source.Read);
  std::memcpy(buffer, source.Bytes.data() + source.Read, take);
  source.Read += take;
  *bytes = take;
  return take == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                   : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderWriteStatus WriteFrameSamples(const FLAC__StreamDecoder*,
                                                 const FLAC__Frame* frame,
                                                 const FLAC__int32* const planes[], void* client) {
  auto& source = *static_cast<TFrameSource*>(client);
  const uint32_t count = frame->header.blocksize;
  TPcmSamples& out = *source.Out;
  const size_t at = out.size();
  out.resize(at + size_t{count} * source.Channels);
  for (uint32_t i = 0; i < count; ++i) {
    for (uint32_t c = 0; c < source.Channels; ++c)
      out[at + size_t{i} * source.Channels + c] = planes[c][i];
  }
  source.Decoded += count;
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void NoteDecodeError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* client) {
  static_cast<TFrameSource*>(client)->Failed = true;
}

struct TEncoded {
  std::vector<std::vector<uint8_t>> Frames;
};

FLAC__StreamEncoderWriteStatus KeepFrames(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                          size_t bytes, uint32_t samples, uint32_t, void* client) {
  // The stream's "fLaC" and metadata come with no samples: only frames are kept, each in
  // the one call that brings it.
  if (samples != 0)
    static_cast<TEncoded*>(client)->Frames.emplace_back(buffer, buffer + bytes);
  return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

}  // namespace

bool DecodeFlacFrame(const TFlacStreamInfo& info, const uint8_t* frame, size_t size,
                     TPcmSamples& out) {
  TFlacStreamInfo bare = info;
  bare.TotalSamples = 0;
  bare.Md5 = {};
  TFrameSource source;
  source.Out = &out;
  source.Channels = info.Channels;
  const auto body = SerializeStreamInfo(bare);
  const std::array<uint8_t, 8> head = {'f', 'L', 'a', 'C', 0x80, 0, 0, kFlacStreamInfoSize};
  source.Bytes.resize(head.size() + body.size() + size);
  std::memcpy(source.Bytes.data(), head.data(), head.size());
  std::memcpy(source.Bytes.data() + head.size(), body.data(), body.size());
  std::memcpy(source.Bytes.data() + head.size() + body.size(), frame, size);
  TDecoderPtr decoder(FLAC__stream_decoder_new());
  if (!decoder ||
      FLAC__stream_decoder_init_stream(decoder.get(), ReadFrameSource, nullptr, nullptr, nullptr,
                                       nullptr, WriteFrameSamples, nullptr, NoteDecodeError,
                                       &source) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
    return false;
  const size_t before = out.size();
  if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder.get()) ||
      !FLAC__stream_decoder_process_single(decoder.get()) || source.Failed || source.Decoded == 0) {
    out.resize(before);
    return false;
  }
  return true;
}

std::vector<std::vector<uint8_t>> EncodeFlacFrames(const TFlacStreamInfo& info,
                                                   const int32_t* samples, uint32_t count,
                                                   uint32_t blockSize) {
  TEncoderPtr encoder(FLAC__stream_encoder_new());
  if (!encoder || count == 0)
    return {};
  FLAC__StreamEncoder* e = encoder.get();
  // Outside the streamable subset only where the source already is (a block size or rate
  // its frames carry); the compression level keeps the frames inside it otherwise.
  const bool ok = FLAC__stream_encoder_set_streamable_subset(e, false) &&
                  FLAC__stream_encoder_set_channels(e, info.Channels) &&
                  FLAC__stream_encoder_set_bits_per_sample(e, info.BitsPerSample) &&
                  FLAC__stream_encoder_set_sample_rate(e, info.SampleRate) &&
                  FLAC__stream_encoder_set_compression_level(e, 5) &&
                  FLAC__stream_encoder_set_blocksize(e, std::max<uint32_t>(blockSize, 16)) &&
                  FLAC__stream_encoder_set_total_samples_estimate(e, count);
  TEncoded encoded;
  if (!ok || FLAC__stream_encoder_init_stream(e, KeepFrames, nullptr, nullptr, nullptr, &encoded) !=
                 FLAC__STREAM_ENCODER_INIT_STATUS_OK)
    return {};
  const bool written = FLAC__stream_encoder_process_interleaved(e, samples, count);
  if (!FLAC__stream_encoder_finish(e) || !written)
    return {};
  return std::move(encoded.Frames);
}

TPcmMd5::TPcmMd5(uint32_t channels, uint32_t bitsPerSample)
    : ctx_(EVP_MD_CTX_new(), EVP_MD_CTX_free),
      channels_(channels),
      bytesPerSample_((bitsPerSample + 7) / 8) {
  if (!ctx_ || EVP_DigestInit_ex(ctx_.get(), EVP_md5(), nullptr) != 1)
    throw std::bad_alloc();
}

TPcmMd5::~TPcmMd5() = default;

void TPcmMd5::Add(const int32_t* const planes[], uint32_t first, uint32_t count) {
  packed_.resize(size_t{count} * channels_ * bytesPerSample_);
  uint8_t* out = packed_.data();
  if (bytesPerSample_ == 2 && channels_ == 2) {  // CD audio: nearly every album
    const int32_t* left = planes[0] + first;
    const int32_t* right = planes[1] + first;
    for (uint32_t i = 0; i < count; ++i) {
      const auto l = static_cast<uint32_t>(left[i]);
      const auto r = static_cast<uint32_t>(right[i]);
      out[0] = static_cast<uint8_t>(l);
      out[1] = static_cast<uint8_t>(l >> 8);
      out[2] = static_cast<uint8_t>(r);
      out[3] = static_cast<uint8_t>(r >> 8);
      out += 4;
    }
  } else {
    for (uint32_t i = first; i < first + count; ++i) {
      for (uint32_t c = 0; c < channels_; ++c) {
        const auto value = static_cast<uint32_t>(planes[c][i]);
        for (uint32_t b = 0; b < bytesPerSample_; ++b)
          *out++ = static_cast<uint8_t>(value >> (8 * b));
      }
    }
  }
  EVP_DigestUpdate(ctx_.get(), packed_.data(), packed_.size());
}

void TPcmMd5::AddInterleaved(const int32_t* samples, uint32_t count) {
  packed_.resize(size_t{count} * channels_ * bytesPerSample_);
  uint8_t* out = packed_.data();
  for (size_t i = 0; i < size_t{count} * channels_; ++i) {
    const auto value = static_cast<uint32_t>(samples[i]);
    for (uint32_t b = 0; b < bytesPerSample_; ++b)
      *out++ = static_cast<uint8_t>(value >> (8 * b));
  }
  EVP_DigestUpdate(ctx_.get(), packed_.data(), packed_.size());
}

std::array<uint8_t, 16> TPcmMd5::Finish() {
  std::array<uint8_t, 16> digest{};
  unsigned int size = 0;
  EVP_DigestFinal_ex(ctx_.get(), digest.data(), &size);
  return digest;
}

namespace {

struct TSourceRun {
  const TFlacSourceDecoder::TBlockSink* Sink = nullptr;
  const std::atomic<bool>* Stop = nullptr;
  uint64_t Position = 0;
  bool Stopped = false;
  std::string Error;
};

FLAC__StreamDecoderWriteStatus WriteSourceBlock(const FLAC__StreamDecoder*,
                                                const FLAC__Frame* frame,
                                                const FLAC__int32* const planes[], void* client) {
  auto& run = *static_cast<TSourceRun*>(client);
  const uint32_t count = frame->header.blocksize;
  if (run.Stop->load(std::memory_order_relaxed) || !(*run.Sink)(run.Position, planes, count)) {
    run.Stopped = true;
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  run.Position += count;
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void NoteSourceError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status,
                     void* client) {
  auto& run = *static_cast<TSourceRun*>(client);
  if (run.Error.empty())
    run.Error = FLAC__StreamDecoderErrorStatusString[status];
}

}  // namespace

TFlacSourceDecoder::TOutcome TFlacSourceDecoder::Run(const std::string& path,
                                                     const TBlockSink& sink, bool checkMd5,
                                                     const std::atomic<bool>& stop) {
  md5Matches_ = false;
  TSourceRun run;
  run.Sink = &sink;
  run.Stop = &stop;
  FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
  if (decoder == nullptr) {
    error_ = "libFLAC";
    return TOutcome::Failed;
  }
  FLAC__stream_decoder_set_md5_checking(decoder, checkMd5);
  if (FLAC__stream_decoder_init_file(decoder, path.c_str(), WriteSourceBlock, nullptr,
                                     NoteSourceError,
                                     &run) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
    FLAC__stream_decoder_delete(decoder);
    error_ = path;
    return TOutcome::Failed;
  }
  const bool decoded = FLAC__stream_decoder_process_until_end_of_stream(decoder);
  // finish() is where libFLAC compares the samples with the stored MD5.
  md5Matches_ = FLAC__stream_decoder_finish(decoder) != 0;
  FLAC__stream_decoder_delete(decoder);
  if (run.Stopped)
    return TOutcome::Stopped;
  error_ = run.Error;
  return decoded && error_.empty() ? TOutcome::Decoded : TOutcome::Failed;
}

}  // namespace zembrio
