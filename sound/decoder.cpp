#include "sound/decoder.h"

#include "core/platform.h"
#include "core/textutil.h"
#include "format/sourcekind.h"
#include "sound/framemap.h"
#include "sound/mpegdecoder.h"
#include "sound/oggdecoder.h"
#include "sound/opusdecoder.h"

namespace zembrio {

bool IsMpegSource(const std::string& path) {
  return DetectSourceKind(path) == TSourceKind::Mpeg;
}

std::unique_ptr<TSoundDecoder> OpenSoundDecoderOfKind(const std::string& path, TSourceKind kind) {
  switch (kind) {
    case TSourceKind::Mpeg: {
      auto map = std::make_shared<const TFrameMap>(MapFrames(path, std::nullopt, nullptr));
      const int64_t frames = map->FrameCount;
      return std::make_unique<TMpegDecoder>(path, std::move(map), 0, frames);
    }
    case TSourceKind::OggVorbis:
      return std::make_unique<TOggDecoder>(path);
    case TSourceKind::OggOpus:
      return std::make_unique<TOpusDecoder>(path);
    default:
      break;
  }
  const std::string refusal = SourceRefusal(path);
  throw TSoundError(refusal.empty() ? ExtractFileName(path) + " : " + SourceKindName(kind) +
                                          " ne se décode pas ici."
                                    : refusal);
}

std::unique_ptr<TSoundDecoder> OpenSoundDecoder(const std::string& path) {
  return OpenSoundDecoderOfKind(path, DetectSourceKind(path));
}

}  // namespace zembrio
