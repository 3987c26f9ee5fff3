// The RIFF/WAVE layout without any file: the chunk walk over a source's bytes, the `fmt `
// chunk decoded, and the header of an output built. The walk reads through a small
// interface so that a file, or any bytes at all, can feed it; every size it meets is
// checked against what is there, and what it cannot use is a refusal with its reason.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zembrio {

using TChunkId = std::array<char, 4>;

constexpr uint16_t kWavFormatPcm = 1;
constexpr uint16_t kWavFormatFloat = 3;
constexpr uint16_t kWavFormatExtensible = 0xFFFE;

// The largest chunk whose bytes are kept in memory (tags with a picture fit): a larger one
// is listed but not kept.
constexpr int64_t kWavKeptChunkLimit = int64_t{16} << 20;

// What the `fmt ` chunk says. The bytes themselves go to every output unchanged.
struct TWavFormat {
  uint16_t FormatTag = 0;  // as written: 1, 3 or 0xFFFE
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint32_t ByteRate = 0;
  uint16_t BlockAlign = 0;  // bytes of one sample frame (a sample of every channel)
  uint16_t BitsPerSample = 0;
  // WAVE_FORMAT_EXTENSIBLE only.
  uint16_t ValidBits = 0;
  uint32_t ChannelMask = 0;
  std::array<uint8_t, 16> SubFormat{};
  // 1 (integer PCM) or 3 (IEEE float): the sub-format's code for an extensible one.
  uint16_t Coding = 0;

  bool Extensible() const { return FormatTag == kWavFormatExtensible; }
  bool IsFloat() const { return Coding == kWavFormatFloat; }
  // Bytes of one sample of one channel, as the data holds it.
  int32_t SampleBytes() const { return Channels > 0 ? BlockAlign / Channels : 0; }
};

// A chunk of the source other than `fmt `, `data` and `ds64`.
struct TWavChunk {
  TChunkId Id{};
  TChunkId ListType{};        // a LIST chunk's type ("INFO", "adtl"); zeros otherwise
  int64_t Offset = 0;         // of the chunk's body
  int64_t Size = 0;           // of the body, pad byte not included
  std::vector<uint8_t> Body;  // kept for `fact`, `bext`, LIST/INFO and `id3 ` only
};

struct TWavLayout {
  bool Rf64 = false;
  std::vector<uint8_t> FmtBody;  // the `fmt ` chunk's body as it is
  int64_t FmtOffset = 0;         // of that body
  TWavFormat Format;
  int64_t DataOffset = 0;  // of the samples
  // Bytes of whole sample frames: a size of 0 or 0xFFFFFFFF (a stream written to a pipe)
  // and a size past the end of the file mean "up to the end of the file".
  int64_t DataSize = 0;
  bool DataTruncated = false;  // the declared size passed the end of the file
  std::optional<uint32_t> FactSamples;
  std::vector<TWavChunk> Chunks;  // in file order, before and after `data`

  int64_t Samples() const { return Format.BlockAlign > 0 ? DataSize / Format.BlockAlign : 0; }
  const TWavChunk* Find(const char* id, const char* listType = nullptr) const;
};

// Where the chunk walk reads: a file or bytes in memory.
class IWavBytes {
 public:
  virtual ~IWavBytes() = default;
  virtual int64_t Size() const = 0;
  // Reads up to count bytes at position; fewer only at the end.
  virtual size_t ReadAt(int64_t position, void* dest, size_t count) = 0;
};

class TMemoryWavBytes : public IWavBytes {
 public:
  TMemoryWavBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int64_t Size() const override { return static_cast<int64_t>(size_); }
  size_t ReadAt(int64_t position, void* dest, size_t count) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

struct TWavParse {
  std::optional<TWavLayout> Layout;
  std::string Refusal;  // why there is no layout, in the program's words
};

// Walks the chunks of a RIFF/WAVE or RF64 file. Only integer PCM and IEEE float samples
// (plain or extensible) are accepted: those are the ones a track can take by slicing.
TWavParse ParseWav(IWavBytes& bytes);

// Decodes a `fmt ` body; nullopt when it is too short or says nothing usable.
std::optional<TWavFormat> DecodeWavFormat(const std::vector<uint8_t>& body);

// "PCM", "PCM EXTENSIBLE", "flottant", "flottant EXTENSIBLE".
std::string WavFormatName(const TWavFormat& format);

// What an output's header holds before its samples.
struct TWavHeaderSpec {
  std::vector<uint8_t> FmtBody;
  bool Fact = false;  // a `fact` chunk with the sample count
  // Whole chunks (id, size, body, pad) that go between `fmt ` and `data`: tags, `bext`.
  std::vector<uint8_t> ExtraChunks;
};

// The bytes of an output from its first byte to the first sample. The header is as long
// whatever the sizes, so that it can be written first and written over at the end: a
// 28-byte `JUNK` chunk holds the place of the `ds64` chunk an RF64 file needs.
// dataSize: bytes of samples; rf64: sizes in `ds64`, 0xFFFFFFFF in the 32-bit fields.
std::vector<uint8_t> BuildWavHeader(const TWavHeaderSpec& spec, int64_t dataSize,
                                    int64_t sampleCount, bool rf64);

// One whole chunk: id, size, body and the pad byte of an odd size.
std::vector<uint8_t> WavChunkBytes(const char* id, const std::vector<uint8_t>& body);

// A BWF `bext` body with its time reference (samples since midnight) moved later by
// samples; nullopt when the body is too short to hold one.
std::optional<std::vector<uint8_t>> ShiftBextTimeReference(const std::vector<uint8_t>& body,
                                                           int64_t samples);

}  // namespace zembrio
