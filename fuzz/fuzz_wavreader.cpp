// The WAV chunk walk over any bytes, and the header of an output built from what it found.
#include <cstddef>
#include <cstdint>

#include "wav/wavformat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zembrio::TMemoryWavBytes bytes(data, size);
  const zembrio::TWavParse parse = zembrio::ParseWav(bytes);
  if (!parse.Layout)
    return 0;
  const zembrio::TWavLayout& layout = *parse.Layout;
  zembrio::TWavHeaderSpec spec;
  spec.FmtBody = layout.FmtBody;
  spec.Fact = layout.FactSamples.has_value();
  if (const zembrio::TWavChunk* bext = layout.Find("bext")) {
    if (auto moved = zembrio::ShiftBextTimeReference(bext->Body, layout.Samples()))
      spec.ExtraChunks = zembrio::WavChunkBytes("bext", *moved);
  }
  zembrio::BuildWavHeader(spec, layout.DataSize, layout.Samples(), layout.DataSize > 0xFFFF);
  return 0;
}
