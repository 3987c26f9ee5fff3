// FLAC sources made at run time with sox and flac, and the outside tools that judge what a
// cut or a join wrote: flac's own decode and test, and ffmpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "flac/trackmetadata.h"

namespace zembrio::test {

// True when every tool is on the PATH.
bool HaveTools(const std::vector<std::string>& tools);
// Runs a shell command; its exit status.
int Shell(const std::string& command);
// Runs a shell command; what it wrote on standard error.
std::string ShellErrors(const std::string& command);

struct SourceSpec {
  uint32_t Rate = 44100;
  uint32_t Channels = 2;
  uint32_t Bits = 16;
  uint32_t BlockSize = 4096;
  double Seconds = 3;
};

// Noise shaped like music (pink noise with a tone), encoded by flac at spec's block size.
void MakeFlac(const SourceSpec& spec, const std::string& path);
// Samples first..end of path as flac decodes them, raw little-endian; end 0: to the end.
std::vector<uint8_t> DecodeRaw(const std::string& path, uint64_t first = 0, uint64_t end = 0);
// `flac -t` passes.
bool FlacTestPasses(const std::string& path);
TFlacStreamInfo StreamInfoOf(const std::string& path);

}  // namespace zembrio::test
