#include "ui/envelopeloader.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QMetaObject>
#include <system_error>

#include "sound/decoder.h"
#include "sound/envelope.h"
#include "sound/levelmeter.h"
#include "ui/qtext.h"

namespace zembrio {

namespace {

constexpr int32_t kStepMs = 10;
// Steps handed over at once: about 20 s of sound, so the strip grows smoothly without a
// queued call per step.
constexpr int64_t kBatchSteps = 2000;
constexpr int kWorkerNice = 10;

}  // namespace

TEnvelopeLoader::TEnvelopeLoader(QObject* parent) : QObject(parent) {}

TEnvelopeLoader::~TEnvelopeLoader() {
  Stop();
}

void TEnvelopeLoader::Stop() {
  ++generation_;
  if (progress_)
    progress_->AbortRequested = true;
  if (worker_.joinable())
    worker_.join();
  progress_.reset();
  finished_ = true;
  envelope_.reset();
}

void TEnvelopeLoader::Load(const QString& path) {
  Stop();
  if (path.isEmpty())
    return;
  progress_ = std::make_shared<TSoundProgress>();
  finished_ = false;
  worker_ = std::thread(&TEnvelopeLoader::Run, this, ToStd(path), generation_, progress_);
}

// On the worker thread: everything it shares with the window goes through queued calls,
// each of which checks on arrival that its load is still the current one.
void TEnvelopeLoader::Run(const std::string& path, int generation,
                          std::shared_ptr<TSoundProgress> progress) {
  // The waveform is background work: the window and the sound being played come first.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNice);
  const std::atomic<bool>& abort = progress->AbortRequested;
  const auto post = [this, generation](auto call) {
    QMetaObject::invokeMethod(
        this,
        [this, generation, call] {
          if (generation == generation_)
            call();
        },
        Qt::QueuedConnection);
  };
  try {
    // Asked to stop while the frames are walked, the walk ends at once.
    std::unique_ptr<TSoundDecoder> decoder = OpenSoundDecoder(path, progress.get());
    if (abort)
      return;
    const TPcmFormat format = decoder->Format();
    const int32_t stepSamples = std::max(1, format.SampleRate * kStepMs / 1000);
    const double stepMs = 1000.0 * stepSamples / std::max(1, format.SampleRate);
    const qint64 durationMs = decoder->TotalSamples() * 1000 / std::max(1, format.SampleRate);
    const int sampleRate = format.SampleRate;
    post([this, stepMs, durationMs, sampleRate] { emit Started(stepMs, durationMs, sampleRate); });

    auto whole = std::make_shared<TEnvelope>(format.SampleRate, stepSamples);
    TEnvelope& envelope = *whole;
    TLevelMeter meter(envelope, format.Channels);
    int64_t handed = 0;
    const auto handOver = [&] {
      std::vector<float> peaks;
      peaks.reserve(static_cast<size_t>(envelope.Count() - handed));
      for (; handed < envelope.Count(); ++handed)
        peaks.push_back(static_cast<float>(envelope.At(handed).PeakDb));
      post([this, peaks = std::move(peaks)] { emit StepsReady(peaks); });
    };
    TPcmBlock block;
    while (!abort && decoder->Next(block)) {
      meter.Add(block.Data, block.Frames);
      if (envelope.Count() - handed >= kBatchSteps)
        handOver();
    }
    if (abort)
      return;
    meter.Finish();
    handOver();
    // The worker lets go of the envelope here: from now on only the window's thread reads it.
    std::shared_ptr<const TEnvelope> done = std::move(whole);
    post([this, done] {
      envelope_ = done;
      finished_ = true;
      emit Finished();
    });
  } catch (const std::exception& error) {
    const QString message = QString("Forme d'onde indisponible : %1").arg(ToQ(error.what()));
    post([this, message] {
      finished_ = true;
      emit Failed(message);
    });
  }
}

}  // namespace zembrio
