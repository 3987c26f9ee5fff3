#include "ui/cutplayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include "ui/qtext.h"
#include "ui/soundfeed.h"

namespace zembrio {

namespace {

constexpr int kClockMs = 40;

}  // namespace

TCutPlayer::TCutPlayer(QObject* parent) : QObject(parent) {
  clock_.setInterval(kClockMs);
  connect(&clock_, &QTimer::timeout, this, &TCutPlayer::ReportPosition);
}

TCutPlayer::~TCutPlayer() {
  Stop();
}

bool TCutPlayer::Play(const std::string& path, int64_t fromMs, int64_t toMs) {
  Stop();
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) {
    emit Message("Aucune sortie audio : lecture impossible");
    return false;
  }
  try {
    feed_ = std::make_unique<TSoundFeed>(path, fromMs, toMs);
  } catch (const std::exception& error) {
    emit Message(QString("Lecture impossible : %1").arg(ToQ(error.what())));
    return false;
  }
  QAudioFormat format;
  format.setSampleRate(feed_->Format().SampleRate);
  format.setChannelCount(feed_->Format().Channels);
  format.setSampleFormat(QAudioFormat::Int16);
  if (!device.isFormatSupported(format)) {
    feed_.reset();
    emit Message("La sortie audio ne prend pas ce format : lecture impossible");
    return false;
  }
  fromMs_ = fromMs;
  sink_ = std::make_unique<QAudioSink>(device, format);
  connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
    if (!sink_)
      return;
    if (state == QAudio::IdleState && feed_->AtEnd()) {
      Stop();
    } else if (state == QAudio::StoppedState && sink_->error() != QAudio::NoError) {
      emit Message("Erreur de la sortie audio : lecture interrompue");
      Stop();
    }
  });
  sink_->start(feed_.get());
  if (sink_->error() != QAudio::NoError) {
    Stop();
    emit Message("Sortie audio indisponible : lecture impossible");
    return false;
  }
  clock_.start();
  emit Message("Lecture...");
  return true;
}

void TCutPlayer::Stop() {
  if (!sink_)
    return;
  clock_.stop();
  // The sink goes first: it still reads from the feed while it stops.
  std::unique_ptr<QAudioSink> sink = std::move(sink_);
  sink->disconnect(this);
  sink->stop();
  sink.reset();
  feed_.reset();
  emit Stopped();
}

void TCutPlayer::ReportPosition() {
  if (sink_)
    emit PositionChanged(fromMs_ + sink_->processedUSecs() / 1000);
}

}  // namespace zembrio
