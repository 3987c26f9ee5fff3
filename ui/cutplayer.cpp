#include "ui/cutplayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMediaDevices>

#include "ui/qtext.h"
#include "ui/soundfeed.h"

namespace zembrio {

// How long each step of a start takes (QT_LOGGING_RULES="zembrio.playback.debug=true").
Q_LOGGING_CATEGORY(lcPlayback, "zembrio.playback", QtWarningMsg)

namespace {

constexpr int kClockMs = 40;

}  // namespace

TCutPlayer::TCutPlayer(QObject* parent) : QObject(parent) {
  clock_.setInterval(kClockMs);
  connect(&clock_, &QTimer::timeout, this, &TCutPlayer::ReportPosition);
  // Reaching the sound server the first time takes a while: done once the window is up,
  // so that the first "Écouter" does not wait for it.
  QTimer::singleShot(0, this, [] { QMediaDevices::defaultAudioOutput(); });
}

TCutPlayer::~TCutPlayer() {
  Stop();
}

bool TCutPlayer::Play(const std::string& path, int64_t fromMs, int64_t toMs) {
  Stop();
  started_.start();
  played_ = false;
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  qCDebug(lcPlayback) << "device found:" << started_.elapsed() << "ms";
  if (device.isNull()) {
    emit Message("Aucune sortie audio : lecture impossible");
    return false;
  }
  try {
    feed_ = std::make_unique<TSoundFeed>(path, fromMs, toMs);
    qCDebug(lcPlayback) << "source open:" << started_.elapsed() << "ms";
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
  feed_->SetFirstReadHandler(
      [this] { qCDebug(lcPlayback) << "first samples taken:" << started_.elapsed() << "ms"; });
  sink_->start(feed_.get());
  qCDebug(lcPlayback) << "output started:" << started_.elapsed() << "ms";
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
  if (!sink_)
    return;
  const qint64 playedUs = sink_->processedUSecs();
  if (!played_ && playedUs > 0) {
    played_ = true;
    qCDebug(lcPlayback) << "output playing:" << started_.elapsed() << "ms";
  }
  emit PositionChanged(fromMs_ + playedUs / 1000);
}

}  // namespace zembrio
