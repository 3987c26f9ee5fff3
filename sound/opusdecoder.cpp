#include "sound/opusdecoder.h"

#include <opus/opusfile.h>

#include <algorithm>
#include <cstdio>

namespace zembrio {

namespace {

int OpusReadCallback(void* source, unsigned char* dest, int count) {
  if (count <= 0)
    return 0;
  return static_cast<int>(static_cast<TInputFile*>(source)->Read(dest, static_cast<size_t>(count)));
}

int OpusSeekCallback(void* source, opus_int64 offset, int whence) {
  auto* input = static_cast<TInputFile*>(source);
  int64_t target = offset;
  if (whence == SEEK_CUR)
    target += input->Position();
  else if (whence == SEEK_END)
    target += input->Size();
  if (target < 0 || target > input->Size())
    return -1;
  input->Seek(target);
  return 0;
}

opus_int64 OpusTellCallback(void* source) {
  return static_cast<TInputFile*>(source)->Position();
}

// 120 ms at 48 kHz, the longest packet: what op_read_float may hand out at once.
constexpr int kOpusBlockFrames = 5760;

}  // namespace

std::string OpusFileErrorText(int code) {
  switch (code) {
    case OP_EREAD:
      return "read error (OP_EREAD)";
    case OP_EFAULT:
      return "internal fault (OP_EFAULT)";
    case OP_EIMPL:
      return "unsupported feature (OP_EIMPL)";
    case OP_EINVAL:
      return "invalid argument (OP_EINVAL)";
    case OP_ENOTFORMAT:
      return "not Ogg Opus data (OP_ENOTFORMAT)";
    case OP_EBADHEADER:
      return "invalid Opus header (OP_EBADHEADER)";
    case OP_EVERSION:
      return "unknown Opus version (OP_EVERSION)";
    case OP_EBADLINK:
      return "invalid link (OP_EBADLINK)";
    case OP_EBADTIMESTAMP:
      return "invalid granule position (OP_EBADTIMESTAMP)";
    case OP_EBADPACKET:
      return "invalid packet (OP_EBADPACKET)";
    case OP_ENOSEEK:
      return "not seekable (OP_ENOSEEK)";
    case OP_HOLE:
      return "interruption in the data (OP_HOLE)";
    default:
      return "error " + std::to_string(code);
  }
}

void TOpusDecoder::TCloser::operator()(OggOpusFile* file) const {
  op_free(file);
}

TOpusDecoder::TOpusDecoder(const std::string& path, int64_t first, int64_t last)
    : input_(std::make_unique<TInputFile>(path)) {
  const OpusFileCallbacks callbacks{OpusReadCallback, OpusSeekCallback, OpusTellCallback, nullptr};
  int error = 0;
  opus_.reset(op_open_callbacks(input_.get(), &callbacks, nullptr, 0, &error));
  if (!opus_)
    throw TSoundError("libopusfile: " + path + ": " + OpusFileErrorText(error));
  const OpusHead* head = op_head(opus_.get(), -1);
  if (head == nullptr || head->channel_count <= 0)
    throw TSoundError("libopusfile: " + path + ": " + OpusFileErrorText(OP_EBADHEADER));
  // Opus plays at 48 kHz whatever the encoder was given.
  format_ = {48000, head->channel_count};
  total_ = std::max<int64_t>(0, op_pcm_total(opus_.get(), -1));
  first_ = std::clamp<int64_t>(first, 0, total_);
  last_ = last < 0 ? total_ : std::clamp<int64_t>(last, first_, total_);
  if (first_ > 0) {
    const int result = op_pcm_seek(opus_.get(), first_);
    if (result != 0)
      throw TSoundError("libopusfile: " + path + ": " + OpusFileErrorText(result));
  }
  position_ = first_;
}

TOpusDecoder::~TOpusDecoder() = default;

bool TOpusDecoder::Next(TPcmBlock& block) {
  out_.clear();
  while (!ended_ && out_.empty() && position_ < last_) {
    int link = 0;
    read_.resize(static_cast<size_t>(kOpusBlockFrames) * 8);
    const int frames =
        op_read_float(opus_.get(), read_.data(), static_cast<int>(read_.size()), &link);
    if (frames == OP_HOLE)
      continue;  // a damaged page: the library goes on after it
    if (frames <= 0) {
      ended_ = true;
      break;
    }
    // A chain may change its layout: keep the first link's channels.
    const OpusHead* head = op_head(opus_.get(), link);
    const int channels = head != nullptr ? head->channel_count : format_.Channels;
    const int64_t kept = std::min<int64_t>(frames, last_ - position_);
    out_.assign(static_cast<size_t>(kept) * format_.Channels, 0.0f);
    const int copied = std::min(channels, format_.Channels);
    for (int64_t i = 0; i < kept; ++i) {
      for (int c = 0; c < copied; ++c)
        out_[static_cast<size_t>(i) * format_.Channels + c] =
            read_[static_cast<size_t>(i) * channels + c];
    }
  }
  if (out_.empty())
    return false;
  block.StartSample = position_;
  block.Frames = static_cast<int32_t>(out_.size() / format_.Channels);
  block.Data = out_.data();
  position_ += block.Frames;
  return true;
}

double TOpusDecoder::Progress() const {
  const int64_t span = last_ - first_;
  return span > 0 ? std::clamp(static_cast<double>(position_ - first_) / span, 0.0, 1.0) : 1.0;
}

}  // namespace zembrio
