// FLAC sources made at run time with sox, flac and metaflac, and the shell helpers the
// FLAC tests share.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "framebuilder.h"

namespace zembrio::test {

inline bool HaveFlacTools() {
  return std::system(
             "(command -v sox && command -v flac && command -v metaflac) >/dev/null 2>&1") == 0;
}

inline void RunTool(const std::string& command) {
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
    throw std::runtime_error("failed: " + command);
}

// The standard output of command; throws when it fails.
inline std::string ToolOutput(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>/dev/null").c_str(), "r"),
                                             pclose);
  if (!pipe)
    throw std::runtime_error("failed: " + command);
  std::string out;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
    out.append(buffer, got);
  if (pclose(pipe.release()) != 0)
    throw std::runtime_error("failed: " + command);
  return out;
}

// A FLAC of seconds of noise made with sox and flac (blocksize given to flac).
inline void MakeFlac(const std::string& path, double seconds, int rate = 44100, int channels = 2,
                     int bits = 16, int blocksize = 4096) {
  const std::string wav = path + ".wav";
  RunTool("sox -q -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b " +
          std::to_string(bits) + " " + wav + " synth " + std::to_string(seconds) +
          " pinknoise gain -6");
  RunTool("flac -s -f --blocksize=" + std::to_string(blocksize) + " -o " + path + " " + wav);
  std::remove(wav.c_str());
}

}  // namespace zembrio::test
