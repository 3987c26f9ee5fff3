#include "wav/wavwriter.h"

#include <algorithm>
#include <utility>

#include "cut/runfeedback.h"

namespace zembrio {

TWavWriter::TWavWriter(const std::string& path, TWavOutputOptions options)
    : file_(path, options.BufferSize), options_(std::move(options)) {
  const std::optional<TWavFormat> format = DecodeWavFormat(options_.Header.FmtBody);
  if (format)
    blockAlign_ = format->BlockAlign;
  // The header is as long whatever its sizes say.
  headerSize_ = static_cast<int64_t>(BuildWavHeader(options_.Header, 0, 0, false).size());
  const std::vector<uint8_t> header = Header(options_.ExpectedDataSize);
  file_.Write(header.data(), header.size());
}

bool TWavWriter::NeedsRf64(int64_t dataSize) const {
  return headerSize_ - 8 + dataSize + (dataSize & 1) > options_.Rf64Threshold;
}

std::vector<uint8_t> TWavWriter::Header(int64_t dataSize) {
  rf64_ = NeedsRf64(dataSize);
  return BuildWavHeader(options_.Header, dataSize, dataSize / blockAlign_, rf64_);
}

namespace {

// Samples go from the source's read window to the output in steps this large: a step
// never leaves more in the window than the reader carries over to the next one, so the
// blocks read ahead are always taken.
constexpr size_t kCopyStep = TInputFile::kCarryLimit;

}  // namespace

bool CopyWavData(TInputFile& source, int64_t offset, int64_t count, TWavWriter& writer,
                 const std::function<bool(int64_t)>& keepGoing) {
  source.Seek(offset);
  int64_t done = 0;
  while (done < count) {
    const size_t step = static_cast<size_t>(std::min<int64_t>(count - done, kCopyStep));
    const unsigned char* bytes = source.Peek(step);
    if (bytes == nullptr)
      throw TRunError("Source WAV tronquée : " + source.Path());
    writer.WriteSamples(source, bytes, step);
    source.Skip(static_cast<int64_t>(step));
    done += static_cast<int64_t>(step);
    if (!keepGoing(done))
      return false;
  }
  return true;
}

void TWavWriter::Finish() {
  if (!file_.IsOpen())
    return;
  const int64_t dataSize = DataSize();
  if (dataSize & 1) {
    const uint8_t pad = 0;
    file_.Write(&pad, 1);
  }
  if (file_.CanSeek()) {
    const std::vector<uint8_t> header = Header(dataSize);
    file_.WriteAt(0, header.data(), header.size());
  }
  file_.Close();
}

}  // namespace zembrio
