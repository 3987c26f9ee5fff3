// A WAV source opened for a cut, a join, statistics or decoding: its chunks walked once
// through our own reader, the layout kept, the file left for the samples to be read.
#pragma once

#include <string>

#include "wav/wavformat.h"

namespace zembrio {

// True when the first bytes say RIFF/WAVE or RF64/WAVE.
bool LooksLikeWav(const uint8_t* bytes, size_t count);

class TWavFile {
 public:
  // Throws std::system_error when the file cannot be read and TRunError with the reason
  // when it is no WAV file this program can cut.
  explicit TWavFile(const std::string& path);

  const std::string& Path() const { return path_; }
  const TWavLayout& Layout() const { return layout_; }
  const TWavFormat& Format() const { return layout_.Format; }
  int64_t Samples() const { return layout_.Samples(); }
  int64_t FileSize() const { return fileSize_; }

 private:
  std::string path_;
  TWavLayout layout_;
  int64_t fileSize_ = 0;
};

}  // namespace zembrio
