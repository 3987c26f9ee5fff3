// One WAV output (a track of a cut, a joined file): its header first, then the samples as
// they come, and at the end the pad byte and the header written again with the real sizes.
// An output whose RIFF size passes the threshold (4 GiB) becomes RF64 then: `RF64`, the
// `ds64` chunk in the place the `JUNK` chunk kept for it, 0xFFFFFFFF in the 32-bit sizes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/fileio.h"
#include "wav/wavformat.h"

namespace zembrio {

struct TWavOutputOptions {
  TWavHeaderSpec Header;
  // The size the first header says: the real one when it is known beforehand, so that an
  // output that cannot be written over (a pipe) still tells the truth.
  int64_t ExpectedDataSize = 0;
  // The largest RIFF size a plain RIFF file takes: its size field has 32 bits.
  int64_t Rf64Threshold = 0xFFFFFFFF;
  size_t BufferSize = TOutputFile::kDefaultBufferSize;
};

class TWavWriter {
 public:
  // Creates (or truncates) the file and writes the header. Throws std::system_error.
  TWavWriter(const std::string& path, TWavOutputOptions options);
  TWavWriter(const TWavWriter&) = delete;
  TWavWriter& operator=(const TWavWriter&) = delete;

  const std::string& Path() const { return file_.Path(); }
  void WriteSamples(const void* data, size_t count) { file_.Write(data, count); }
  // Samples that lie in source's read window, written from there (TOutputFile::WriteLent).
  void WriteSamples(TInputFile& source, const void* data, size_t count) {
    file_.WriteLent(source, data, count);
  }
  int64_t DataSize() const { return file_.Size() - headerSize_; }
  // Appends the pad byte, writes the header over with the sizes and closes; throws when a
  // write or the close fails. Does nothing once the file is closed.
  void Finish();
  bool IsRf64() const { return rf64_; }

 private:
  bool NeedsRf64(int64_t dataSize) const;
  std::vector<uint8_t> Header(int64_t dataSize);

  TOutputFile file_;
  TWavOutputOptions options_;
  int32_t blockAlign_ = 1;
  int64_t headerSize_ = 0;
  bool rf64_ = false;
};

// Copies count bytes of source from offset into writer's samples, from the reader's window
// without copying them again. Between steps keepGoing hears how many bytes are done;
// false from it stops the copy (false returned). Throws TRunError when the source ends
// early (it became shorter since it was opened) and std::system_error on a failure.
bool CopyWavData(TInputFile& source, int64_t offset, int64_t count, TWavWriter& writer,
                 const std::function<bool(int64_t)>& keepGoing);

}  // namespace zembrio
