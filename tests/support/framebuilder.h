// Builds MPEG audio streams for tests: frames of any version, layer, bitrate, rate, padding
// and channel mode, garbage runs, ID3v2 prefixes, ID3v1 tags and VBR header frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zembrio::test {

using Bytes = std::vector<uint8_t>;

struct FrameSpec {
  int VersionId = 3;        // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  int LayerCode = 1;        // 1 Layer III, 2 Layer II, 3 Layer I
  int BitrateIndex = 9;     // 128 kbit/s for MPEG-1 Layer III
  int SampleRateIndex = 0;  // 44100 Hz for MPEG-1
  int Padding = 0;
  int ChannelMode = 1;  // 3 = single channel
};

// The four header bytes of a frame.
Bytes HeaderBytes(const FrameSpec& spec);
// Whole frame length in bytes, header included.
int FrameLength(const FrameSpec& spec);
// A whole frame; its data bytes are filled with fill (never 0xFF, so no false sync).
Bytes Frame(const FrameSpec& spec, uint8_t fill = 0x55);
// A first frame carrying tag ("Xing", "Info", "VBRI") at the VBR header offset.
Bytes VbrFrame(const FrameSpec& spec, const std::string& tag);
// count frames, the data of frame i filled with (i % 200) + 1.
Bytes Frames(const FrameSpec& spec, int count);
// count bytes of garbage that hold no sync pattern.
Bytes Garbage(size_t count, uint8_t value = 0x20);
// An ID3v2.3 tag of total size 10 + payload (payload holds no sync unless jpegLike).
Bytes Id3v2Tag(size_t payload, bool jpegLike = false);
// A 128-byte ID3v1 tag.
Bytes Id3v1Tag(const std::string& title = "Title");
// An APEv2 tag as ReplayGain tools write it: header (when asked), items, footer.
Bytes ApeTag(const std::vector<std::pair<std::string, std::string>>& items, bool withHeader = true);
// A Lyrics3 v2 block: "LYRICSBEGIN", one lyrics field, its size and "LYRICS200".
Bytes Lyrics3Block(const std::string& lyrics);

void Append(Bytes& target, const Bytes& more);
void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);

// A fresh folder under the system temporary folder, removed with its content.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }  // with trailing "/"
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

}  // namespace zembrio::test
