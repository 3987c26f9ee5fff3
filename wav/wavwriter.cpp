#include "wav/wavwriter.h"

#include <utility>

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
