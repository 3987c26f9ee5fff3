// The bit reservoir of a Layer III stream: a frame's main data may begin up to 511 bytes
// before its header, in the main data of earlier frames. A file that starts inside a stream
// needs those bytes: a silent priming frame in front of its first frame carries them, marked
// so that a join of such files can leave it out again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mpeg/mpgfile.h"

namespace zembrio {

// Where the main data of the current frame of source begins, counted back from its header
// over the main data of earlier frames; 0 for a frame too short to hold its side information.
int32_t MainDataBegin(const TMPGFile& source);
// The same for a frame kept whole (header included) of a stream of version versionId.
int32_t MainDataBegin(const std::vector<uint8_t>& frame, int32_t versionId);

// True when the current frame of source is a priming frame of ours.
bool IsPrimingFrame(const TMPGFile& source);

// Where the reservoir stood before some frame. A priming frame for that frame can still be
// built from it while one more frame has gone into the reservoir.
struct TReservoirMark {
  size_t End = 0;
  size_t Kept = 0;
};

class TReservoir {
 public:
  static constexpr size_t kMaximum = 511;

  // Keeps the end of the current frame's main data (Layer III, after ReadData).
  void Add(const TMPGFile& source);
  void Clear() { kept_ = 0; }
  // The priming frame for the current frame of source, or nothing when the frame takes no
  // bytes from earlier frames or the reservoir does not hold them all.
  std::vector<uint8_t> PrimingFrame(const TMPGFile& source) const;
  TReservoirMark Mark() const { return {end_, kept_}; }
  // The priming frame for a frame kept whole, as the reservoir stood at mark (taken just
  // before that frame went in; at most one frame more may have gone in since).
  std::vector<uint8_t> PrimingFrame(const std::vector<uint8_t>& frame, int32_t versionId,
                                    TReservoirMark mark) const;

 private:
  // A ring: every frame of a cut passes through it, so a frame's bytes are copied in once
  // and never moved. It holds the reservoir of the frame before the last one too.
  static constexpr size_t kRing = 2048;
  std::vector<uint8_t> BuildPriming(std::array<uint8_t, 4> header, int32_t versionId, size_t needed,
                                    TReservoirMark mark) const;
  void Append(const uint8_t* data, size_t size);
  std::array<uint8_t, kRing> ring_{};
  size_t end_ = 0;  // where the next byte goes
  size_t kept_ = 0;
};

}  // namespace zembrio
