// WAV sources made once per test program with sox and ffmpeg, and helpers to look into
// WAV files: their bytes, their samples' bytes, their `fmt ` body.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "framebuilder.h"
#include "wav/wavformat.h"

namespace zembrio::test {

inline bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

inline void RunTool(const std::string& command) {
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
    throw std::runtime_error("failed: " + command);
}

inline Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline TWavLayout LayoutOf(const Bytes& bytes) {
  TMemoryWavBytes source(bytes.data(), bytes.size());
  TWavParse parse = ParseWav(source);
  if (!parse.Layout)
    throw std::runtime_error(parse.Refusal);
  return *parse.Layout;
}

// The bytes of sample frames first..last-1 of a WAV file's data chunk.
inline Bytes SampleBytes(const Bytes& file, int64_t first = 0, int64_t last = -1) {
  const TWavLayout layout = LayoutOf(file);
  const int64_t align = layout.Format.BlockAlign;
  if (last < 0)
    last = layout.Samples();
  const auto begin = file.begin() + layout.DataOffset + first * align;
  return Bytes(begin, begin + (last - first) * align);
}

struct WavSources {
  TempDir Dir;
  std::string Stereo16 = Dir.File("stereo16.wav");  // 44.1 kHz, 3 s
  std::string Ext24 = Dir.File("ext24.wav");        // 96 kHz, EXTENSIBLE with `fact`
  std::string Mono8 = Dir.File("mono8.wav");        // 8 kHz, 1 s
  std::string Six16 = Dir.File("six16.wav");        // 48 kHz, 6 channels
  std::string Float32 = Dir.File("float32.wav");    // 44.1 kHz, IEEE float
  std::string Stereo48 = Dir.File("stereo48.wav");  // 48 kHz, for a refused join
  std::string Rf64 = Dir.File("rf64.wav");          // Stereo16 written as RF64 by ffmpeg

  WavSources() {
    const std::string noise = " synth 3 whitenoise gain -3";
    RunTool("sox -q -n -r 44100 -c 2 -b 16 " + Stereo16 + noise);
    RunTool("sox -q -n -r 96000 -c 2 -e signed -b 24 " + Ext24 + " synth 2 whitenoise gain -3");
    RunTool("sox -q -n -r 8000 -c 1 -b 8 " + Mono8 + " synth 1 whitenoise gain -3");
    RunTool("sox -q -n -r 48000 -c 6 -b 16 " + Six16 + " synth 1 whitenoise gain -3");
    RunTool("sox -q -n -r 44100 -c 2 -e floating-point -b 32 " + Float32 + noise);
    RunTool("sox -q -n -r 48000 -c 2 -b 16 " + Stereo48 + " synth 1 whitenoise gain -3");
    if (HaveTool("ffmpeg"))
      RunTool("ffmpeg -v error -y -i " + Stereo16 + " -c copy -rf64 always " + Rf64);
  }

  // Skips the test when the tools that make the sources are missing.
  static const WavSources* Get() {
    static const std::unique_ptr<WavSources> sources =
        HaveTool("sox") ? std::make_unique<WavSources>() : nullptr;
    return sources.get();
  }
};

#define WAV_SOURCES_OR_SKIP(name)             \
  const WavSources* name = WavSources::Get(); \
  if (name == nullptr)                        \
  GTEST_SKIP() << "sox is not installed"

}  // namespace zembrio::test
