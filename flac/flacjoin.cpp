#include "flac/flacjoin.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "cut/runfeedback.h"
#include "flac/flaccodec.h"
#include "flac/trackwriter.h"

namespace zembrio {

// The inputs decoded one after the other into one MD5, on a thread of its own.
class TJoinMd5 {
 public:
  TJoinMd5(const TFlacStreamInfo& info) : md5_(info.Channels, info.BitsPerSample) {
    thread_ = std::thread(&TJoinMd5::Run, this);
  }
  ~TJoinMd5() {
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
    }
    stop_ = true;
    changed_.notify_all();
    thread_.join();
  }
  void Add(const std::string& path) {
    std::lock_guard lock(mutex_);
    paths_.push_back(path);
    changed_.notify_all();
  }
  // Waits for every input; nullopt when one could not be decoded.
  std::optional<std::array<uint8_t, 16>> Finish() {
    std::unique_lock lock(mutex_);
    closed_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return ended_; });
    if (failed_)
      return std::nullopt;
    return md5_.Finish();
  }

 private:
  void Run() {
    for (;;) {
      std::string path;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !paths_.empty() || closed_; });
        if (paths_.empty()) {
          ended_ = true;
          changed_.notify_all();
          return;
        }
        path = paths_.front();
        paths_.pop_front();
      }
      TFlacSourceDecoder decoder;
      const auto outcome = decoder.Run(
          path,
          [this](uint64_t, const int32_t* const planes[], uint32_t count) {
            md5_.Add(planes, 0, count);
            return true;
          },
          false, stop_);
      if (outcome != TFlacSourceDecoder::TOutcome::Decoded) {
        std::lock_guard lock(mutex_);
        failed_ = true;
      }
    }
  }

  TPcmMd5 md5_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> paths_;
  bool closed_ = false;
  bool ended_ = false;
  bool failed_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct TFlacJoinWriter::THeldFrame {
  TFlacFrame Frame;
  std::vector<uint8_t> Bytes;
};

TFlacJoinWriter::TFlacJoinWriter(std::string outputPath, TKeepGoing keepGoing)
    : outputPath_(std::move(outputPath)), keepGoing_(std::move(keepGoing)) {}

TFlacJoinWriter::~TFlacJoinWriter() = default;

uint64_t TFlacJoinWriter::Samples() const {
  return writer_ ? writer_->Samples() : 0;
}

void TFlacJoinWriter::CheckFits(const std::string& path, const TFlacStreamInfo& info) const {
  const std::string refusal = FlacJoinMismatch(path, info, stream_);
  if (!refusal.empty())
    throw TRunError(refusal);
}

std::string FlacJoinMismatch(const std::string& path, const TFlacStreamInfo& info,
                             const TFlacStreamInfo& output) {
  const std::string lead = path + " : ";
  if (info.SampleRate != output.SampleRate) {
    return lead + std::to_string(info.SampleRate) + " Hz, la sortie est à " +
           std::to_string(output.SampleRate) + " Hz.";
  }
  if (info.Channels != output.Channels) {
    return lead + std::to_string(info.Channels) + " canaux, la sortie en a " +
           std::to_string(output.Channels) + ".";
  }
  if (info.BitsPerSample != output.BitsPerSample) {
    return lead + std::to_string(info.BitsPerSample) + " bits, la sortie est en " +
           std::to_string(output.BitsPerSample) + " bits.";
  }
  return {};
}

std::string CheckFlacJoinInputs(const std::vector<std::string>& paths) {
  std::optional<TFlacStreamInfo> output;
  for (const std::string& path : paths) {
    TInputFile input(path, TInputFile::kReadAheadMinimum);
    const auto layout = ReadFlacStreamLayout(input);
    if (!layout)
      return path + " : pas un fichier FLAC.";
    if (!output) {
      output = layout->Info;
      continue;
    }
    std::string refusal = FlacJoinMismatch(path, layout->Info, *output);
    if (!refusal.empty())
      return refusal;
  }
  return {};
}

void TFlacJoinWriter::Open(const std::string& path, const TFlacStreamLayout& layout) {
  stream_ = layout.Info;
  TFlacSourceMetadata metadata;
  try {
    metadata = ReadFlacSourceMetadata(path);
  } catch (const TRunError&) {
    // Comments that cannot be read are left out; the audio is joined all the same.
  }
  metadata.StreamInfo = layout.Info;
  metadata.AudioOffset = static_cast<uint64_t>(layout.AudioOffset);
  // Inputs end with short frames: the joined stream numbers its frames by sample.
  writer_ = std::make_unique<TFlacTrackWriter>(outputPath_, stream_,
                                               BuildTrackMetadata(metadata, nullptr, 0), true);
  md5_ = std::make_unique<TJoinMd5>(stream_);
}

void TFlacJoinWriter::ReleaseHeld(bool last) {
  if (!held_)
    return;
  const std::unique_ptr<THeldFrame> held = std::move(held_);
  if (held->Frame.Header.BlockSize >= TFlacTrackWriter::kMinBlock && !writer_->HasPending()) {
    writer_->CopyFrame(held->Frame);
    return;
  }
  TPcmSamples samples;
  if (!DecodeFlacFrame(stream_, held->Bytes.data(), held->Bytes.size(), samples))
    throw TRunError("Frame FLAC illisible.");
  writer_->AddSamples(samples.data(), held->Frame.Header.BlockSize, last);
}

bool TFlacJoinWriter::Append(const std::string& path) {
  TInputFile input(path);
  const auto layout = ReadFlacStreamLayout(input);
  if (!layout)
    throw TRunError(path + " : pas un fichier FLAC.");
  if (writer_)
    CheckFits(path, layout->Info);
  else
    Open(path, *layout);
  md5_->Add(path);
  TFlacFrameScanner scanner(input, *layout);
  TFlacFrame frame;
  for (;;) {
    const TFlacScanResult result = scanner.Next(frame);
    if (result == TFlacScanResult::End)
      break;
    if (result == TFlacScanResult::Corrupt) {
      throw TRunError(path + " : frame FLAC corrompue à l'octet " +
                      std::to_string(scanner.CorruptAt()) + ".");
    }
    const double fraction = static_cast<double>(scanner.Position()) /
                            static_cast<double>(std::max<int64_t>(1, input.Size()));
    if (keepGoing_ && !keepGoing_(fraction))
      return false;
    ReleaseHeld(false);
    if (writer_->HasPending()) {  // a short block before: this one joins it
      TPcmSamples samples;
      if (!DecodeFlacFrame(stream_, frame.Bytes, frame.Size, samples))
        throw TRunError(path + " : frame FLAC illisible à l'octet " + std::to_string(frame.Offset) +
                        ".");
      writer_->AddSamples(samples.data(), frame.Header.BlockSize, false);
      continue;
    }
    // Held back: only the stream's last frame may be shorter than 16 samples.
    held_ = std::make_unique<THeldFrame>();
    held_->Bytes.assign(frame.Bytes, frame.Bytes + frame.Size);
    held_->Frame = frame;
    held_->Frame.Bytes = held_->Bytes.data();
  }
  return true;
}

void TFlacJoinWriter::Finish() {
  if (!writer_)
    return;
  ReleaseHeld(true);
  const auto md5 = md5_->Finish();
  if (!md5)
    throw TRunError("Décodage FLAC échoué.");
  writer_->Finish(*md5);
}

}  // namespace zembrio
