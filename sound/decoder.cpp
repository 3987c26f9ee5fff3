#include "sound/decoder.h"

#include "sound/framemap.h"
#include "sound/mpegdecoder.h"
#include "sound/oggdecoder.h"

namespace zembrio {

bool IsOggName(const std::string& path) {
  if (path.size() < 4) {
    return false;
  }
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return tail == ".ogg";
}

std::unique_ptr<TSoundDecoder> OpenSoundDecoder(const std::string& path) {
  if (IsOggName(path)) {
    return std::make_unique<TOggDecoder>(path);
  }
  auto map = std::make_shared<const TFrameMap>(MapFrames(path, std::nullopt, nullptr));
  const int64_t frames = map->FrameCount;
  return std::make_unique<TMpegDecoder>(path, std::move(map), 0, frames);
}

}  // namespace zembrio
