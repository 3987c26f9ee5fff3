#include "wav/wavjoin.h"

#include <utility>

#include "core/fileio.h"
#include "cut/runfeedback.h"
#include "wav/wavfile.h"
#include "wav/wavtags.h"

namespace zembrio {

namespace {

std::string Channels(int count) {
  return std::to_string(count) + (count > 1 ? " canaux" : " canal");
}

}  // namespace

std::string WavFormatDifference(const std::vector<uint8_t>& input,
                                const std::vector<uint8_t>& output) {
  if (input == output)
    return {};
  const auto in = DecodeWavFormat(input);
  const auto out = DecodeWavFormat(output);
  if (in && out) {
    if (in->SampleRate != out->SampleRate)
      return std::to_string(in->SampleRate) + " Hz, la sortie est à " +
             std::to_string(out->SampleRate) + " Hz";
    if (in->Channels != out->Channels)
      return Channels(in->Channels) + ", la sortie a " + Channels(out->Channels);
    if (in->IsFloat() != out->IsFloat())
      return WavFormatName(*in) + ", la sortie est en " + WavFormatName(*out);
    if (in->BitsPerSample != out->BitsPerSample || in->BlockAlign != out->BlockAlign)
      return std::to_string(in->BitsPerSample) + " bits, la sortie est en " +
             std::to_string(out->BitsPerSample) + " bits";
    if (in->Extensible() != out->Extensible() || in->ChannelMask != out->ChannelMask ||
        in->ValidBits != out->ValidBits)
      return WavFormatName(*in) + " (masque de canaux ou bits utiles), la sortie est en " +
             WavFormatName(*out);
  }
  return "en-tête fmt différent de celui de la sortie";
}

TWavJoinWriter::TWavJoinWriter(std::string outputPath, TProgress progress, int64_t rf64Threshold)
    : outputPath_(std::move(outputPath)),
      progress_(std::move(progress)),
      rf64Threshold_(rf64Threshold) {}

TWavAppend TWavJoinWriter::Refuse(std::string text) {
  refusal_ = std::move(text);
  return TWavAppend::Refused;
}

TWavAppend TWavJoinWriter::Append(const std::string& path) {
  refusal_.clear();
  // Reading the output while writing it would copy it into itself without end.
  // The output only takes its name when it is whole: its name alone tells it then.
  if (path == outputPath_ || SameFile(path, outputPath_))
    return Refuse(path + " : c'est le fichier de sortie.");
  std::optional<TWavFile> source;
  try {
    source.emplace(path);
  } catch (const TRunError& refusal) {
    return Refuse(path + " : " + refusal.what());
  }
  const TWavLayout& layout = source->Layout();
  if (!writer_) {
    TWavOutputOptions options;
    options.Header.FmtBody = layout.FmtBody;
    options.Header.Fact = layout.FactSamples.has_value();
    if (const TWavChunk* bext = layout.Find("bext"); bext && !bext->Body.empty())
      options.Header.ExtraChunks = WavChunkBytes("bext", bext->Body);
    const std::vector<uint8_t> tags = TWavTagSource(layout).SourceChunks();
    options.Header.ExtraChunks.insert(options.Header.ExtraChunks.end(), tags.begin(), tags.end());
    options.Rf64Threshold = rf64Threshold_;
    fmt_ = layout.FmtBody;
    writer_ = std::make_unique<TWavWriter>(outputPath_, std::move(options));
  } else if (const std::string how = WavFormatDifference(layout.FmtBody, fmt_); !how.empty()) {
    return Refuse(path + " : " + how + ".");
  }
  TInputFile input(path);
  const int64_t total = layout.DataSize;
  const bool whole = CopyWavData(input, layout.DataOffset, total, *writer_, [&](int64_t done) {
    return !progress_ || progress_(done, total);
  });
  return whole ? TWavAppend::Appended : TWavAppend::Aborted;
}

std::string CheckWavJoinInputs(const std::vector<std::string>& paths,
                               const std::string& outputPath) {
  std::optional<std::vector<uint8_t>> output;
  for (const std::string& path : paths) {
    if (path == outputPath || SameFile(path, outputPath))
      return path + " : c'est le fichier de sortie.";
    std::optional<TWavFile> source;
    try {
      source.emplace(path);
    } catch (const TRunError& refusal) {
      return path + " : " + refusal.what();
    }
    const std::vector<uint8_t>& fmt = source->Layout().FmtBody;
    if (!output) {
      output = fmt;
    } else if (const std::string how = WavFormatDifference(fmt, *output); !how.empty()) {
      return path + " : " + how + ".";
    }
  }
  return {};
}

void TWavJoinWriter::Finish() {
  if (writer_)
    writer_->Finish();
}

}  // namespace zembrio
