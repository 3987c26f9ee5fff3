#include "wav/wavfile.h"

#include <cstring>

#include "core/fileio.h"
#include "cut/runfeedback.h"

namespace zembrio {

namespace {

// The chunk walk reads a few bytes here and there: a small buffer and no read-ahead.
constexpr size_t kWalkBuffer = size_t{1} << 16;

class TFileWavBytes : public IWavBytes {
 public:
  explicit TFileWavBytes(TInputFile& file) : file_(file) {}
  int64_t Size() const override { return file_.Size(); }
  size_t ReadAt(int64_t position, void* dest, size_t count) override {
    file_.Seek(position);
    return file_.Read(dest, count);
  }

 private:
  TInputFile& file_;
};

}  // namespace

bool LooksLikeWav(const uint8_t* bytes, size_t count) {
  return count >= 12 &&
         (std::memcmp(bytes, "RIFF", 4) == 0 || std::memcmp(bytes, "RF64", 4) == 0) &&
         std::memcmp(bytes + 8, "WAVE", 4) == 0;
}

TWavFile::TWavFile(const std::string& path) : path_(path) {
  TInputFile file(path, kWalkBuffer);
  fileSize_ = file.Size();
  TFileWavBytes bytes(file);
  TWavParse parse = ParseWav(bytes);
  if (!parse.Layout)
    throw TRunError(parse.Refusal);
  layout_ = std::move(*parse.Layout);
}

}  // namespace zembrio
