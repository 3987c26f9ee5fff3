#include "sound/decoder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "core/platform.h"
#include "core/textutil.h"
#include "format/sourcekind.h"
#include "sound/flacdecoder.h"
#include "sound/framemap.h"
#include "sound/mpegdecoder.h"
#include "sound/oggdecoder.h"
#include "sound/opusdecoder.h"
#include "sound/wavdecoder.h"

namespace zembrio {

bool IsMpegSource(const std::string& path) {
  return DetectSourceKind(path) == TSourceKind::Mpeg;
}

std::unique_ptr<TSoundDecoder> OpenSoundDecoderOfKind(const std::string& path, TSourceKind kind,
                                                      TSoundProgress* progress) {
  switch (kind) {
    case TSourceKind::Mpeg: {
      std::shared_ptr<const TFrameMap> map = SharedFrameMap(path, progress);
      const int64_t frames = map->FrameCount;
      return std::make_unique<TMpegDecoder>(path, std::move(map), 0, frames);
    }
    case TSourceKind::OggVorbis:
      return std::make_unique<TOggDecoder>(path);
    case TSourceKind::Flac:
      return std::make_unique<TFlacDecoder>(path);
    case TSourceKind::Wav:
      return std::make_unique<TWavDecoder>(path);
    case TSourceKind::OggOpus:
      return std::make_unique<TOpusDecoder>(path);
    default:
      break;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    throw std::system_error(errno, std::generic_category(), path);
  const std::string refusal = SourceRefusal(path);
  throw TSoundError(refusal.empty() ? ExtractFileName(path) + " : " + SourceKindName(kind) +
                                          " ne se décode pas ici."
                                    : refusal);
}

std::unique_ptr<TSoundDecoder> OpenSoundDecoder(const std::string& path, TSoundProgress* progress) {
  return OpenSoundDecoderOfKind(path, DetectSourceKind(path), progress);
}

namespace {

// A decoder of sources it can enter at any sample (Select), entered at fromMs.
template <typename TDecoder>
std::unique_ptr<TSoundDecoder> OpenStretchFrom(const std::string& path, int64_t fromMs) {
  auto decoder = std::make_unique<TDecoder>(path);
  const int64_t fromSample = fromMs * decoder->Format().SampleRate / 1000;
  if (fromSample > 0 && fromSample < decoder->TotalSamples())
    decoder->Select(fromSample, -1);
  return decoder;
}

}  // namespace

std::unique_ptr<TSoundDecoder> OpenSoundDecoderFrom(const std::string& path, int64_t fromMs) {
  const TSourceKind kind = DetectSourceKind(path);
  fromMs = std::max<int64_t>(fromMs, 0);
  switch (kind) {
    case TSourceKind::Mpeg: {
      // Entered at the frame that holds fromMs: hearing a cut late in a long recording
      // decodes only a few frames.
      std::shared_ptr<const TFrameMap> map = SharedFrameMap(path, nullptr);
      const int64_t frames = map->FrameCount;
      const int64_t fromSample = fromMs * map->SampleRate / 1000;
      const int64_t first = map->SamplesPerFrame > 0
                                ? std::clamp<int64_t>(fromSample / map->SamplesPerFrame, 0, frames)
                                : 0;
      return std::make_unique<TMpegDecoder>(path, std::move(map), first, frames);
    }
    case TSourceKind::Flac:
      return OpenStretchFrom<TFlacDecoder>(path, fromMs);
    case TSourceKind::Wav:
      return OpenStretchFrom<TWavDecoder>(path, fromMs);
    case TSourceKind::OggVorbis: {
      // Entered by the library's seek: a stream it cannot seek in plays from its start.
      auto decoder = std::make_unique<TOggDecoder>(path);
      decoder->SeekTo(fromMs * decoder->Format().SampleRate / 1000);
      return decoder;
    }
    case TSourceKind::OggOpus:
      // Opus always decodes at 48 kHz; the decoder holds a start past the end at the end.
      return std::make_unique<TOpusDecoder>(path, fromMs * 48);
    default:
      return OpenSoundDecoderOfKind(path, kind);  // read from the start
  }
}

}  // namespace zembrio
