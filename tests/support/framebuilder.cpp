#include "framebuilder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace zembrio::test {
namespace {

constexpr int kBitrates[2][3][16] = {
    // MPEG-1: Layer I, II, III
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    // MPEG-2 and 2.5: Layer I, II, III
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};

int SampleRate(const FrameSpec& s) {
  static constexpr int kBase[4] = {44100, 48000, 32000, 0};
  const int divisor = s.VersionId == 3 ? 1 : (s.VersionId == 2 ? 2 : 4);
  return kBase[s.SampleRateIndex] / divisor;
}

int SamplesPerFrame(const FrameSpec& s) {
  if (s.LayerCode == 3)
    return 384;
  if (s.LayerCode == 2 || s.VersionId == 3)
    return 1152;
  return 576;
}

int VbrOffset(const FrameSpec& s) {
  const bool mono = s.ChannelMode == 3;
  if (s.VersionId == 3)
    return mono ? 17 : 32;
  return mono ? 9 : 17;
}

}  // namespace

Bytes HeaderBytes(const FrameSpec& s) {
  return {0xFF, static_cast<uint8_t>(0xE0 | (s.VersionId << 3) | (s.LayerCode << 1) | 1),
          static_cast<uint8_t>((s.BitrateIndex << 4) | (s.SampleRateIndex << 2) | (s.Padding << 1)),
          static_cast<uint8_t>(s.ChannelMode << 6)};
}

int FrameLength(const FrameSpec& s) {
  const int bitrate = kBitrates[s.VersionId == 3 ? 0 : 1][3 - s.LayerCode][s.BitrateIndex];
  const int slot = s.LayerCode == 3 ? 4 : 1;
  return SamplesPerFrame(s) * 125 * bitrate / SampleRate(s) + s.Padding * slot;
}

Bytes Frame(const FrameSpec& spec, uint8_t fill) {
  Bytes frame = HeaderBytes(spec);
  frame.resize(FrameLength(spec), fill);
  return frame;
}

Bytes VbrFrame(const FrameSpec& spec, const std::string& tag) {
  Bytes frame = Frame(spec, 0);
  std::copy(tag.begin(), tag.end(), frame.begin() + 4 + VbrOffset(spec));
  return frame;
}

Bytes Frames(const FrameSpec& spec, int count) {
  Bytes out;
  for (int i = 0; i < count; ++i)
    Append(out, Frame(spec, static_cast<uint8_t>(i % 200 + 1)));
  return out;
}

Bytes Garbage(size_t count, uint8_t value) {
  return Bytes(count, value);
}

Bytes Id3v2Tag(size_t payload, bool jpegLike) {
  Bytes tag = {'I', 'D', '3', 3, 0, 0};
  for (int shift = 21; shift >= 0; shift -= 7)
    tag.push_back((payload >> shift) & 0x7F);
  for (size_t i = 0; i < payload; ++i) {
    // A JPEG picture is full of FF Ex/FF Fx pairs that look like frame sync.
    tag.push_back(jpegLike ? (i % 7 == 0 ? 0xFF : (i % 7 == 1 ? 0xFB : 0x90 + i % 5)) : 0x41);
  }
  return tag;
}

Bytes Id3v1Tag(const std::string& title) {
  Bytes tag(128, 0);
  tag[0] = 'T';
  tag[1] = 'A';
  tag[2] = 'G';
  std::copy(title.begin(), title.begin() + std::min<size_t>(title.size(), 30), tag.begin() + 3);
  return tag;
}

namespace {

void PutLittleEndian32(Bytes& target, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    target.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

Bytes ApeHeaderOrFooter(uint32_t size, uint32_t count, uint32_t flags) {
  const std::string magic = "APETAGEX";
  Bytes block(magic.begin(), magic.end());
  PutLittleEndian32(block, 2000);
  PutLittleEndian32(block, size);
  PutLittleEndian32(block, count);
  PutLittleEndian32(block, flags);
  block.resize(32, 0);
  return block;
}

}  // namespace

Bytes ApeTag(const std::vector<std::pair<std::string, std::string>>& items, bool withHeader) {
  Bytes body;
  for (const auto& [key, value] : items) {
    PutLittleEndian32(body, static_cast<uint32_t>(value.size()));
    PutLittleEndian32(body, 0);
    body.insert(body.end(), key.begin(), key.end());
    body.push_back(0);
    body.insert(body.end(), value.begin(), value.end());
  }
  const auto size = static_cast<uint32_t>(body.size() + 32);
  const auto count = static_cast<uint32_t>(items.size());
  constexpr uint32_t kHasHeader = 0x80000000u, kIsHeader = 0x20000000u;
  Bytes tag;
  if (withHeader)
    Append(tag, ApeHeaderOrFooter(size, count, kHasHeader | kIsHeader));
  Append(tag, body);
  Append(tag, ApeHeaderOrFooter(size, count, withHeader ? kHasHeader : 0));
  return tag;
}

Bytes Lyrics3Block(const std::string& lyrics) {
  char length[6];
  std::snprintf(length, sizeof length, "%05zu", lyrics.size());
  const std::string content = std::string("LYRICSBEGIN") + "LYR" + length + lyrics;
  char size[7];
  std::snprintf(size, sizeof size, "%06zu", content.size());
  const std::string block = content + size + "LYRICS200";
  return Bytes(block.begin(), block.end());
}

void Append(Bytes& target, const Bytes& more) {
  target.insert(target.end(), more.begin(), more.end());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out)
    throw std::runtime_error("cannot write " + path);
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zembrio-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("mkdtemp failed");
  path_ = pattern + "/";
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace zembrio::test
