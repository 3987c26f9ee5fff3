#include "ui/envelopeloader.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QMetaObject>
#include <system_error>

#include "sound/envelope.h"
#include "ui/qtext.h"

namespace zembrio {

namespace {

constexpr int32_t kStepMs = 10;
constexpr int kWorkerNice = 10;

std::vector<float> PeaksOf(const TEnvelope& stretch) {
  std::vector<float> peaks;
  peaks.reserve(static_cast<size_t>(stretch.Count()));
  for (const uint8_t code : stretch.PeakCodes())
    peaks.push_back(static_cast<float>(TEnvelope::Decode(code)));
  return peaks;
}

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
  // The waveform is background work: the window and the sound being played come first. The
  // engine's own threads start from this one and keep its priority.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNice);
  const auto post = [this, generation](auto call) {
    QMetaObject::invokeMethod(
        this,
        [this, generation, call] {
          if (generation == generation_)
            call();
        },
        Qt::QueuedConnection);
  };
  const auto handOver = [this, &post](int64_t first, const TEnvelope& stretch) {
    post([this, first, peaks = PeaksOf(stretch)] { emit StepsReady(first, peaks); });
  };
  TEnvelopeWatch watch;
  watch.Opened = [this, &post](const TEnvelopeShape& shape) {
    const int rate = std::max(1, shape.SampleRate);
    const double stepMs = 1000.0 * shape.StepSamples / rate;
    const qint64 durationMs = shape.TotalSamples * 1000 / rate;
    post([this, stepMs, durationMs, rate] { emit Started(stepMs, durationMs, rate); });
  };
  watch.Sketch = handOver;
  watch.Stretch = handOver;
  try {
    // Asked to stop, the engine ends at once, the frame walk included.
    TEnvelopeResult result = ComputeEnvelope(path, kStepMs, progress.get(), watch);
    if (result.Status == TSoundStatus::Aborted)
      return;
    // The worker lets go of the envelope here: from now on only the window's thread reads it.
    auto done = std::make_shared<const TEnvelope>(std::move(result.Envelope));
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
