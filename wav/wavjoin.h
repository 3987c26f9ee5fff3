// The join of WAV files: their samples one after another in one output. The first input
// decides the output's format (its `fmt ` bytes, `fact`, `bext` and tag chunks); an input
// whose `fmt ` differs is refused before anything of it is written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "wav/wavwriter.h"

namespace zembrio {

enum class TWavAppend { Appended, Refused, Aborted };

class TWavJoinWriter {
 public:
  // Between blocks: the bytes of the current input's samples done and their total; false
  // asks the join to stop.
  using TProgress = std::function<bool(int64_t done, int64_t total)>;

  // The output is created by the first Append. rf64Threshold: the largest RIFF size the
  // output is written with before it becomes RF64.
  explicit TWavJoinWriter(std::string outputPath, TProgress progress = {},
                          int64_t rf64Threshold = 0xFFFFFFFF);
  TWavJoinWriter(const TWavJoinWriter&) = delete;
  TWavJoinWriter& operator=(const TWavJoinWriter&) = delete;

  // Appends the samples of the WAV file at path. Refused: Refusal() says why (the input
  // is no WAV file, is the output itself, or its format differs from the output's).
  // Aborted: the progress asked to stop, part of the input is written. Throws
  // std::system_error when a file cannot be read or written.
  TWavAppend Append(const std::string& path);
  const std::string& Refusal() const { return refusal_; }
  // Writes the sizes into the header and closes (RF64 when it is needed); throws when the
  // write or the close fails. Nothing is written when no input was appended.
  void Finish();
  int64_t DataSize() const { return writer_ ? writer_->DataSize() : 0; }
  bool IsRf64() const { return writer_ && writer_->IsRf64(); }

 private:
  TWavAppend Refuse(std::string text);

  std::string outputPath_;
  TProgress progress_;
  int64_t rf64Threshold_;
  std::vector<uint8_t> fmt_;
  std::unique_ptr<TWavWriter> writer_;
  std::string refusal_;
};

// How the format of an input differs from the output's, in the program's words:
// "48000 Hz, la sortie est à 44100 Hz"; empty when the `fmt ` bytes are the same.
std::string WavFormatDifference(const std::vector<uint8_t>& input,
                                const std::vector<uint8_t>& output);

// Every input read up to its header before anything is written: the first refusal (an
// input that is no WAV file, is the output, or differs from the first input), or "".
std::string CheckWavJoinInputs(const std::vector<std::string>& paths,
                               const std::string& outputPath);

}  // namespace zembrio
