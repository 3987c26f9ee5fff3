#include "sound/oggdecoder.h"

#include <algorithm>
#include <cstdio>

namespace zembrio {

namespace {

size_t ReadCallback(void* dest, size_t size, size_t count, void* source) {
  auto* input = static_cast<TInputFile*>(source);
  if (size == 0) {
    return 0;
  }
  return input->Read(dest, size * count) / size;
}

int SeekCallback(void* source, ogg_int64_t offset, int whence) {
  auto* input = static_cast<TInputFile*>(source);
  int64_t target = offset;
  if (whence == SEEK_CUR) {
    target += input->Position();
  } else if (whence == SEEK_END) {
    target += input->Size();
  }
  if (target < 0 || target > input->Size()) {
    return -1;
  }
  input->Seek(target);
  return 0;
}

long TellCallback(void* source) {
  return static_cast<long>(static_cast<TInputFile*>(source)->Position());
}

// Blocks of about this many sample frames are handed out.
constexpr int kBlockFrames = 4096;

}  // namespace

std::string VorbisErrorText(int code) {
  switch (code) {
    case OV_EREAD:
      return "read error (OV_EREAD)";
    case OV_ENOTVORBIS:
      return "not Vorbis data (OV_ENOTVORBIS)";
    case OV_EVERSION:
      return "Vorbis version mismatch (OV_EVERSION)";
    case OV_EBADHEADER:
      return "invalid Vorbis header (OV_EBADHEADER)";
    case OV_EFAULT:
      return "internal logic fault (OV_EFAULT)";
    case OV_EBADLINK:
      return "invalid stream section (OV_EBADLINK)";
    case OV_EINVAL:
      return "invalid argument (OV_EINVAL)";
    case OV_HOLE:
      return "interruption in the data (OV_HOLE)";
    default:
      return "error " + std::to_string(code);
  }
}

TOggDecoder::TVorbisHandle::~TVorbisHandle() {
  if (Open) {
    ov_clear(&File);
  }
}

TOggDecoder::TOggDecoder(const std::string& path) : input_(std::make_unique<TInputFile>(path)) {
  const ov_callbacks callbacks{ReadCallback, SeekCallback, nullptr, TellCallback};
  vorbis_ = std::make_unique<TVorbisHandle>();
  const int result = ov_open_callbacks(input_.get(), &vorbis_->File, nullptr, 0, callbacks);
  if (result != 0) {
    // ov_open_callbacks leaves nothing to clear when it fails.
    throw TSoundError("libvorbisfile: " + path + ": " + VorbisErrorText(result));
  }
  vorbis_->Open = true;
  const vorbis_info* info = ov_info(&vorbis_->File, -1);
  if (info == nullptr || info->rate <= 0 || info->channels <= 0) {
    throw TSoundError("libvorbisfile: " + path + ": " + VorbisErrorText(OV_EBADHEADER));
  }
  format_ = {static_cast<int32_t>(info->rate), info->channels};
  const ogg_int64_t total = ov_pcm_total(&vorbis_->File, -1);
  total_ = total > 0 ? total : 0;
}

bool TOggDecoder::SeekTo(int64_t first) {
  if (first < 0 || first > total_ || ov_pcm_seek(&vorbis_->File, first) != 0)
    return false;
  position_ = first;
  ended_ = false;
  return true;
}

bool TOggDecoder::Next(TPcmBlock& block) {
  out_.clear();
  while (!ended_ && out_.empty()) {
    float** pcm = nullptr;
    int section = 0;
    const long frames = ov_read_float(&vorbis_->File, &pcm, kBlockFrames, &section);
    if (frames == OV_HOLE) {
      continue;  // a damaged page: the library goes on after it
    }
    if (frames <= 0) {
      ended_ = true;  // the end, or a fault the library cannot go on after
      break;
    }
    // A chained stream may change its layout: keep the first one's channels.
    const vorbis_info* info = ov_info(&vorbis_->File, section);
    const int channels = info != nullptr ? std::min(info->channels, format_.Channels) : 0;
    out_.assign(static_cast<size_t>(frames) * format_.Channels, 0.0f);
    for (int c = 0; c < channels; ++c) {
      for (long i = 0; i < frames; ++i) {
        out_[static_cast<size_t>(i) * format_.Channels + c] = pcm[c][i];
      }
    }
  }
  if (out_.empty()) {
    return false;
  }
  block.StartSample = position_;
  block.Frames = static_cast<int32_t>(out_.size() / format_.Channels);
  block.Data = out_.data();
  position_ += block.Frames;
  total_ = std::max(total_, position_);
  return true;
}

double TOggDecoder::Progress() const {
  const int64_t size = input_->Size();
  return size > 0 ? std::clamp(static_cast<double>(input_->Position()) / size, 0.0, 1.0) : 1.0;
}

}  // namespace zembrio
