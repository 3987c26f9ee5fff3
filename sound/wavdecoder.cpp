#include "sound/wavdecoder.h"

#include <algorithm>
#include <cstring>

#include "cut/runfeedback.h"
#include "wav/wavfile.h"

namespace zembrio {

namespace {

TWavLayout ReadLayout(const std::string& path) {
  try {
    return TWavFile(path).Layout();
  } catch (const TRunError& refusal) {
    throw TSoundError(refusal.what());
  }
}

bool Decodable(const TWavFormat& format, int32_t sampleBytes) {
  if (format.BlockAlign % format.Channels != 0)
    return false;
  if (format.IsFloat())
    return sampleBytes == 4 || sampleBytes == 8;
  return sampleBytes >= 1 && sampleBytes <= 4;
}

// A little-endian signed integer of width bytes, as a fraction of full scale.
float IntegerSample(const uint8_t* p, int32_t width) {
  switch (width) {
    case 1:
      return static_cast<float>(static_cast<int>(p[0]) - 128) / 128.0f;
    case 2:
      return static_cast<float>(static_cast<int16_t>(p[0] | p[1] << 8)) / 32768.0f;
    case 3: {
      const auto value = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 |
                                              static_cast<uint32_t>(p[1]) << 16 |
                                              static_cast<uint32_t>(p[2]) << 24);
      return static_cast<float>(value / 256) / 8388608.0f;
    }
    default: {
      int32_t value;
      std::memcpy(&value, p, 4);  // the machine is little-endian like the file
      return static_cast<float>(static_cast<double>(value) / 2147483648.0);
    }
  }
}

float FloatSample(const uint8_t* p, int32_t width) {
  if (width == 4) {
    float value;
    std::memcpy(&value, p, 4);
    return value;
  }
  double value;
  std::memcpy(&value, p, 8);
  return static_cast<float>(value);
}

}  // namespace

TWavDecoder::TWavDecoder(const std::string& path, int64_t first, int64_t last)
    : layout_(ReadLayout(path)) {
  sampleBytes_ = layout_.Format.SampleBytes();
  if (!Decodable(layout_.Format, sampleBytes_))
    throw TSoundError("Échantillons WAV non décodables : " + std::to_string(sampleBytes_) +
                      " octets par échantillon.");
  input_ = std::make_unique<TInputFile>(path);
  Select(first, last);
}

TPcmFormat TWavDecoder::Format() const {
  return {static_cast<int32_t>(layout_.Format.SampleRate), layout_.Format.Channels};
}

void TWavDecoder::Select(int64_t first, int64_t last) {
  const int64_t total = layout_.Samples();
  first_ = std::clamp<int64_t>(first, 0, total);
  last_ = last < 0 ? total : std::clamp<int64_t>(last, first_, total);
  next_ = first_;
  input_->Seek(layout_.DataOffset + first_ * layout_.Format.BlockAlign);
}

bool TWavDecoder::Next(TPcmBlock& block) {
  const auto frames = static_cast<int32_t>(std::min<int64_t>(last_ - next_, kBlockFrames));
  if (frames <= 0)
    return false;
  const size_t bytes = static_cast<size_t>(frames) * layout_.Format.BlockAlign;
  raw_.resize(bytes);
  const size_t got = input_->Read(raw_.data(), bytes);
  const auto whole = static_cast<int32_t>(got / layout_.Format.BlockAlign);
  if (whole == 0) {  // the file became shorter since it was opened
    last_ = next_;
    return false;
  }
  Convert(raw_.data(), whole);
  block.StartSample = next_;
  block.Frames = whole;
  block.Data = out_.data();
  next_ += whole;
  return true;
}

void TWavDecoder::Convert(const uint8_t* raw, int32_t frames) {
  const size_t count = static_cast<size_t>(frames) * layout_.Format.Channels;
  out_.resize(count);
  const int32_t width = sampleBytes_;
  if (layout_.Format.IsFloat()) {
    for (size_t i = 0; i < count; ++i)
      out_[i] = FloatSample(raw + i * width, width);
  } else {
    for (size_t i = 0; i < count; ++i)
      out_[i] = IntegerSample(raw + i * width, width);
  }
}

double TWavDecoder::Progress() const {
  const int64_t span = last_ - first_;
  return span > 0 ? static_cast<double>(next_ - first_) / static_cast<double>(span) : 1.0;
}

std::unique_ptr<TSoundDecoder> OpenWavDecoder(const std::string& path) {
  return std::make_unique<TWavDecoder>(path);
}

}  // namespace zembrio
