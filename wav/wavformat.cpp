#include "wav/wavformat.h"

#include <algorithm>
#include <cstring>

namespace zembrio {

namespace {

constexpr uint32_t kSizeUnknown = 0xFFFFFFFF;
constexpr int64_t kFmtLimit = 1 << 16;
// A file of nothing but tiny chunks must not make a list as long as itself.
constexpr size_t kListedChunkLimit = 4096;
// The place `ds64` takes in an RF64 output: three 64-bit sizes and an empty table.
constexpr size_t kDs64BodySize = 28;
// Where a BWF `bext` body keeps its 64-bit time reference (after the description,
// originator, reference, date and time fields).
constexpr size_t kBextTimeReference = 338;
// The sub-format GUIDs of KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT end alike.
constexpr std::array<uint8_t, 14> kSubFormatTail{0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr const char* kNotWav = "Source WAV invalide : en-tête RIFF/WAVE absent.";
constexpr const char* kNoFmt = "Source WAV invalide : pas de bloc fmt.";
constexpr const char* kBadFmt = "Source WAV invalide : bloc fmt illisible.";
constexpr const char* kNoData = "Source WAV invalide : pas de bloc data.";
constexpr const char* kNoDs64 = "Source WAV invalide : RF64 sans bloc ds64.";

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint64_t Le64(const uint8_t* p) {
  return Le32(p) | static_cast<uint64_t>(Le32(p + 4)) << 32;
}
void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, static_cast<uint16_t>(value));
  Put16(out, static_cast<uint16_t>(value >> 16));
}
void Put64(std::vector<uint8_t>& out, uint64_t value) {
  Put32(out, static_cast<uint32_t>(value));
  Put32(out, static_cast<uint32_t>(value >> 32));
}
void PutId(std::vector<uint8_t>& out, const char* id) {
  out.insert(out.end(), id, id + 4);
}
uint32_t Size32(int64_t size) {
  return size > int64_t{kSizeUnknown} ? kSizeUnknown : static_cast<uint32_t>(size);
}

TChunkId IdOf(const uint8_t* p) {
  TChunkId id;
  std::memcpy(id.data(), p, 4);
  return id;
}
bool IsId(const TChunkId& id, const char* text) {
  return std::memcmp(id.data(), text, 4) == 0;
}
// Chunk ids are four printable ASCII characters: how a missing pad byte shows.
bool PlausibleId(const uint8_t* p) {
  return std::all_of(p, p + 4, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

bool KeepsBody(const TChunkId& id) {
  return IsId(id, "fact") || IsId(id, "bext") || IsId(id, "LIST") || IsId(id, "id3 ") ||
         IsId(id, "ID3 ");
}

// The 64-bit sizes of an RF64 file's `ds64` chunk.
struct TDs64 {
  uint64_t RiffSize = 0;
  uint64_t DataSize = 0;
  std::vector<std::pair<TChunkId, uint64_t>> Table;
};

class TChunkWalk {
 public:
  explicit TChunkWalk(IWavBytes& bytes) : bytes_(bytes), end_(bytes.Size()) {}
  TWavParse Run();

 private:
  bool ReadExactly(int64_t position, void* dest, size_t count) {
    return bytes_.ReadAt(position, dest, count) == count;
  }
  std::vector<uint8_t> ReadBody(int64_t position, int64_t size);
  void ReadDs64(int64_t body, int64_t size);
  // Takes the chunk at pos_; false when the walk ends with it.
  bool Take(const TChunkId& id, uint32_t size32);
  bool TakeData(uint32_t size32, int64_t body);
  int64_t NextChunk(int64_t body, int64_t size);
  TWavParse Finish();

  IWavBytes& bytes_;
  const int64_t end_;
  int64_t pos_ = 12;
  TWavLayout layout_;
  std::optional<TDs64> ds64_;
  bool fmtSeen_ = false;
  bool dataSeen_ = false;
};

std::vector<uint8_t> TChunkWalk::ReadBody(int64_t position, int64_t size) {
  std::vector<uint8_t> body(static_cast<size_t>(size));
  body.resize(bytes_.ReadAt(position, body.data(), body.size()));
  return body;
}

void TChunkWalk::ReadDs64(int64_t body, int64_t size) {
  const std::vector<uint8_t> bytes = ReadBody(body, std::min<int64_t>(size, kFmtLimit));
  if (bytes.size() < 24)
    return;
  TDs64 ds64;
  ds64.RiffSize = Le64(bytes.data());
  ds64.DataSize = Le64(bytes.data() + 8);
  if (bytes.size() >= kDs64BodySize) {
    const size_t entries = Le32(bytes.data() + 24);
    for (size_t i = 0, at = kDs64BodySize; i < entries && at + 12 <= bytes.size(); ++i, at += 12)
      ds64.Table.emplace_back(IdOf(bytes.data() + at), Le64(bytes.data() + at + 4));
  }
  ds64_ = std::move(ds64);
}

int64_t TChunkWalk::NextChunk(int64_t body, int64_t size) {
  const int64_t unpadded = body + size;
  if ((size & 1) == 0)
    return unpadded;
  // Some writers leave out the pad byte after an odd size: the next id tells.
  uint8_t ids[5];
  if (unpadded + 5 <= end_ && ReadExactly(unpadded, ids, 5) && !PlausibleId(ids + 1) &&
      PlausibleId(ids))
    return unpadded;
  return unpadded + 1;
}

bool TChunkWalk::TakeData(uint32_t size32, int64_t body) {
  int64_t size = size32;
  bool toEnd = false;
  if (layout_.Rf64 && size32 == kSizeUnknown) {
    if (!ds64_)
      return false;
    size = static_cast<int64_t>(std::min<uint64_t>(ds64_->DataSize, INT64_MAX));
  } else if (size32 == 0 || size32 == kSizeUnknown) {
    toEnd = true;  // written to a pipe: the size was never filled in
  }
  const int64_t there = end_ - body;
  if (toEnd || size > there) {
    layout_.DataTruncated = !toEnd;
    size = there;
  }
  dataSeen_ = true;
  layout_.DataOffset = body;
  layout_.DataSize = size;
  pos_ = NextChunk(body, size);
  return !toEnd && !layout_.DataTruncated;
}

bool TChunkWalk::Take(const TChunkId& id, uint32_t size32) {
  const int64_t body = pos_ + 8;
  if (IsId(id, "data") && !dataSeen_)
    return TakeData(size32, body);
  int64_t size = size32;
  if (layout_.Rf64 && size32 == kSizeUnknown && ds64_) {
    for (const auto& [tableId, tableSize] : ds64_->Table) {
      if (tableId == id)
        size = static_cast<int64_t>(std::min<uint64_t>(tableSize, INT64_MAX / 2));
    }
  }
  const bool whole = size <= end_ - body;
  if (IsId(id, "ds64") && layout_.Rf64 && !ds64_) {
    ReadDs64(body, size);
  } else if (IsId(id, "fmt ") && !fmtSeen_) {
    fmtSeen_ = true;
    layout_.FmtOffset = body;
    if (whole && size <= kFmtLimit)
      layout_.FmtBody = ReadBody(body, size);
  } else if (layout_.Chunks.size() < kListedChunkLimit) {
    TWavChunk chunk;
    chunk.Id = id;
    chunk.Offset = body;
    chunk.Size = whole ? size : end_ - body;
    if (IsId(id, "LIST") && chunk.Size >= 4)
      ReadExactly(body, chunk.ListType.data(), 4);
    if (whole && KeepsBody(id) && size <= kWavKeptChunkLimit)
      chunk.Body = ReadBody(body, size);
    if (IsId(id, "fact") && chunk.Body.size() >= 4 && !layout_.FactSamples)
      layout_.FactSamples = Le32(chunk.Body.data());
    layout_.Chunks.push_back(std::move(chunk));
  }
  if (!whole)
    return false;
  pos_ = NextChunk(body, size);
  return true;
}

TWavParse TChunkWalk::Run() {
  uint8_t head[12];
  if (!ReadExactly(0, head, sizeof head) || !IsId(IdOf(head + 8), "WAVE") ||
      !(IsId(IdOf(head), "RIFF") || IsId(IdOf(head), "RF64")))
    return {std::nullopt, kNotWav};
  layout_.Rf64 = IsId(IdOf(head), "RF64");
  uint8_t chunk[8];
  while (pos_ <= end_ - 8 && ReadExactly(pos_, chunk, sizeof chunk)) {
    if (!Take(IdOf(chunk), Le32(chunk + 4)))
      break;
  }
  return Finish();
}

TWavParse TChunkWalk::Finish() {
  if (!fmtSeen_)
    return {std::nullopt, kNoFmt};
  if (layout_.Rf64 && !ds64_)
    return {std::nullopt, kNoDs64};
  if (!dataSeen_)
    return {std::nullopt, kNoData};
  const std::optional<TWavFormat> format = DecodeWavFormat(layout_.FmtBody);
  if (!format)
    return {std::nullopt, kBadFmt};
  if (format->Coding != kWavFormatPcm && format->Coding != kWavFormatFloat) {
    char code[8];
    std::snprintf(code, sizeof code, "0x%04X",
                  format->Extensible() ? Le16(format->SubFormat.data()) : format->FormatTag);
    return {std::nullopt, std::string("Source WAV non prise en charge : format ") + code +
                              " (seuls PCM et flottant se coupent sans perte)."};
  }
  // Players and converters size a frame by the channels and the bytes of a sample: a block
  // alignment that says otherwise is read as they read it, so that a cut falls where they
  // play it. The `fmt ` bytes still go to the outputs as they are.
  const uint32_t frameBytes = uint32_t{format->Channels} * ((format->BitsPerSample + 7u) / 8u);
  if (frameBytes > UINT16_MAX)
    return {std::nullopt, kBadFmt};
  layout_.Format = *format;
  layout_.Format.BlockAlign = static_cast<uint16_t>(frameBytes);
  layout_.DataSize -= layout_.DataSize % frameBytes;
  return {std::move(layout_), {}};
}

}  // namespace

const TWavChunk* TWavLayout::Find(const char* id, const char* listType) const {
  for (const TWavChunk& chunk : Chunks) {
    if (IsId(chunk.Id, id) && (listType == nullptr || IsId(chunk.ListType, listType)))
      return &chunk;
  }
  return nullptr;
}

size_t TMemoryWavBytes::ReadAt(int64_t position, void* dest, size_t count) {
  if (count == 0 || position < 0 || static_cast<uint64_t>(position) >= size_)
    return 0;
  const size_t take = std::min(count, size_ - static_cast<size_t>(position));
  std::memcpy(dest, data_ + position, take);
  return take;
}

TWavParse ParseWav(IWavBytes& bytes) {
  return TChunkWalk(bytes).Run();
}

std::optional<TWavFormat> DecodeWavFormat(const std::vector<uint8_t>& body) {
  if (body.size() < 16)
    return std::nullopt;
  const uint8_t* p = body.data();
  TWavFormat format;
  format.FormatTag = Le16(p);
  format.Channels = Le16(p + 2);
  format.SampleRate = Le32(p + 4);
  format.ByteRate = Le32(p + 8);
  format.BlockAlign = Le16(p + 12);
  format.BitsPerSample = Le16(p + 14);
  format.Coding = format.FormatTag;
  if (format.Extensible()) {
    if (body.size() < 40)
      return std::nullopt;
    format.ValidBits = Le16(p + 18);
    format.ChannelMask = Le32(p + 20);
    std::copy(p + 24, p + 40, format.SubFormat.begin());
    const bool known = std::equal(kSubFormatTail.begin(), kSubFormatTail.end(), p + 26);
    format.Coding = known ? Le16(p + 24) : 0;
  }
  if (format.Channels == 0 || format.SampleRate == 0 || format.SampleRate > INT32_MAX ||
      format.BlockAlign == 0 || format.BitsPerSample == 0)
    return std::nullopt;
  return format;
}

std::string WavFormatName(const TWavFormat& format) {
  std::string name = format.IsFloat() ? "flottant" : "PCM";
  if (format.Extensible())
    name += " EXTENSIBLE";
  return name;
}

std::vector<uint8_t> WavChunkBytes(const char* id, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out(8 + body.size() + (body.size() & 1), 0);
  std::memcpy(out.data(), id, 4);
  const uint32_t size = Size32(static_cast<int64_t>(body.size()));
  for (int i = 0; i < 4; ++i)
    out[4 + i] = static_cast<uint8_t>(size >> (8 * i));
  std::copy(body.begin(), body.end(), out.begin() + 8);
  return out;
}

std::vector<uint8_t> BuildWavHeader(const TWavHeaderSpec& spec, int64_t dataSize,
                                    int64_t sampleCount, bool rf64) {
  std::vector<uint8_t> out;
  out.reserve(64 + spec.FmtBody.size() + spec.ExtraChunks.size());
  PutId(out, rf64 ? "RF64" : "RIFF");
  Put32(out, 0);  // the RIFF size, once the header's length is known
  PutId(out, "WAVE");
  PutId(out, rf64 ? "ds64" : "JUNK");
  Put32(out, kDs64BodySize);
  const size_t ds64 = out.size();
  out.resize(out.size() + kDs64BodySize, 0);
  const std::vector<uint8_t> fmt = WavChunkBytes("fmt ", spec.FmtBody);
  out.insert(out.end(), fmt.begin(), fmt.end());
  if (spec.Fact) {
    PutId(out, "fact");
    Put32(out, 4);
    Put32(out, rf64 ? kSizeUnknown : Size32(sampleCount));
  }
  out.insert(out.end(), spec.ExtraChunks.begin(), spec.ExtraChunks.end());
  PutId(out, "data");
  Put32(out, rf64 ? kSizeUnknown : Size32(dataSize));
  // Everything after the RIFF id and size: this header, the samples and their pad byte.
  const int64_t riffSize = static_cast<int64_t>(out.size()) - 8 + dataSize + (dataSize & 1);
  const uint32_t riff32 = rf64 ? kSizeUnknown : Size32(riffSize);
  std::vector<uint8_t> sizes;
  Put32(sizes, riff32);
  std::copy(sizes.begin(), sizes.end(), out.begin() + 4);
  if (rf64) {
    sizes.clear();
    Put64(sizes, static_cast<uint64_t>(riffSize));
    Put64(sizes, static_cast<uint64_t>(dataSize));
    Put64(sizes, static_cast<uint64_t>(sampleCount));
    Put32(sizes, 0);
    std::copy(sizes.begin(), sizes.end(), out.begin() + static_cast<ptrdiff_t>(ds64));
  }
  return out;
}

std::optional<std::vector<uint8_t>> ShiftBextTimeReference(const std::vector<uint8_t>& body,
                                                           int64_t samples) {
  if (body.size() < kBextTimeReference + 8)
    return std::nullopt;
  std::vector<uint8_t> out = body;
  const uint64_t moved = Le64(body.data() + kBextTimeReference) + static_cast<uint64_t>(samples);
  std::vector<uint8_t> bytes;
  Put64(bytes, moved);
  std::copy(bytes.begin(), bytes.end(), out.begin() + kBextTimeReference);
  return out;
}

}  // namespace zembrio
