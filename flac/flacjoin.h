// The FLAC join: inputs of one rate, channel count and depth become one stream, their
// frames copied and numbered on; a second thread decodes them for the MD5 of the whole.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "flac/framescan.h"
#include "flac/trackmetadata.h"

namespace zembrio {

// Why an input of stream info cannot join an output of stream output: a French text naming
// path and what differs, or "" when it fits.
std::string FlacJoinMismatch(const std::string& path, const TFlacStreamInfo& info,
                             const TFlacStreamInfo& output);
// Every input read up to its STREAMINFO before anything is written: the first refusal, or "".
std::string CheckFlacJoinInputs(const std::vector<std::string>& paths);

class TFlacTrackWriter;
class TJoinMd5;

class TFlacJoinWriter {
 public:
  // Asked between frames: the fraction of the current input done; false stops the join.
  using TKeepGoing = std::function<bool(double fraction)>;

  explicit TFlacJoinWriter(std::string outputPath, TKeepGoing keepGoing = {});
  ~TFlacJoinWriter();
  TFlacJoinWriter(const TFlacJoinWriter&) = delete;
  TFlacJoinWriter& operator=(const TFlacJoinWriter&) = delete;

  // Appends the frames of path. The first input opens the output and gives it its stream
  // and metadata. An input that is no FLAC or differs from the first is refused with
  // TRunError, nothing of it written; a corrupt frame throws TRunError too. false: stopped.
  bool Append(const std::string& path);
  // The last frame held back, then STREAMINFO with the MD5 of all the samples; closes.
  // Throws std::system_error when a write or the close fails.
  void Finish();
  uint64_t Samples() const;

 private:
  void Open(const std::string& path, const TFlacStreamLayout& layout);
  void CheckFits(const std::string& path, const TFlacStreamInfo& info) const;
  // The frame held back from the input before: written whole, or decoded to join the next
  // block when it is too short to stand before another frame.
  void ReleaseHeld(bool last);

  std::string outputPath_;
  TKeepGoing keepGoing_;
  TFlacStreamInfo stream_;
  std::unique_ptr<TFlacTrackWriter> writer_;
  std::unique_ptr<TJoinMd5> md5_;
  struct THeldFrame;
  std::unique_ptr<THeldFrame> held_;
};

}  // namespace zembrio
