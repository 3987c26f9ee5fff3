// Opus sources made at run time with sox and opusenc, and the outside readers that judge a
// fragment: libopusfile's length and decode, ffmpeg's decode, opusinfo's warnings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zembrio::test {

bool HaveTools(const std::vector<std::string>& tools);
int Shell(const std::string& command);
// What the command wrote on both its outputs.
std::string ShellOutput(const std::string& command);

enum class OpusKind { Music, Speech };
// Music: stereo pink noise and a tone at 128 kbit/s. Speech: a mono voice-like signal (a
// gliding buzz through a formant band, syllable-paced) at 16 kbit/s. extra: opusenc options.
void MakeOpus(OpusKind kind, double seconds, const std::string& path,
              const std::string& extra = "");

struct Decoded {
  bool Opened = false;
  int Channels = 0;
  int64_t Total = -1;          // op_pcm_total
  std::vector<float> Samples;  // interleaved, as op_read_float gives them
  int64_t Frames() const {
    return Channels > 0 ? static_cast<int64_t>(Samples.size()) / Channels : 0;
  }
};
Decoded DecodeOpus(const std::string& path);
// Sample frames that ffmpeg decodes (16-bit output); -1 when it reports anything.
int64_t FfmpegFrames(const std::string& path, int channels);
// The comments as libopusfile reads them: the values of name.
std::vector<std::string> OpusComments(const std::string& path, const std::string& name);

}  // namespace zembrio::test
