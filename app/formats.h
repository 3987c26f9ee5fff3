// The formats behind the seam, one class each (app/*format.cpp). Only app/sourceformat.cpp
// names them.
#pragma once

#include "app/sourceformat.h"

namespace zembrio {

const TSourceFormat& MpegFormat();
const TSourceFormat& OggVorbisFormat();
const TSourceFormat* FlacFormat();
const TSourceFormat* WavFormat();

}  // namespace zembrio
