// Computes the level envelope of a source for the waveform strip on a thread of its own, so
// that a long recording never freezes the window. The engine's envelope does the work, on
// every processor for MPEG sources: the worker touches neither the cut list nor the run
// state, and hands each stretch of steps to the window's thread through a queued call as
// soon as it is measured, in no set order, which the strip draws where it belongs.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "sound/envelope.h"

namespace zembrio {

class TEnvelopeLoader : public QObject {
  Q_OBJECT

 public:
  explicit TEnvelopeLoader(QObject* parent = nullptr);
  ~TEnvelopeLoader() override;

  // Stops the source being read, if any, and starts on path; an empty path only stops.
  void Load(const QString& path);
  void Stop();
  bool Running() const { return worker_.joinable() && !finished_; }
  // The whole envelope once it is finished (for finding pauses); null before.
  std::shared_ptr<const TEnvelope> Envelope() const { return envelope_; }

 signals:
  // The source opened: the length of one step, its length and its sample rate.
  void Started(double stepMs, qint64 durationMs, int sampleRate);
  // Peak levels of the steps from firstStep on. A sketch of a stretch may come first and
  // its measure later, over the same steps.
  void StepsReady(qint64 firstStep, const std::vector<float>& peakDb);
  void Finished();
  // The source could not be decoded; the text says why, in French.
  void Failed(const QString& message);

 private:
  void Run(const std::string& path, int generation, std::shared_ptr<TSoundProgress> progress);

  std::thread worker_;
  std::shared_ptr<TSoundProgress> progress_;  // asks the worker to stop, walk included
  int generation_ = 0;  // answers of a stopped worker that were already queued are dropped
  bool finished_ = true;
  std::shared_ptr<const TEnvelope> envelope_;
};

}  // namespace zembrio
