// Playback of a stretch of the selected source through the system's audio output (Qt
// Multimedia): from the cursor to the end, or the seconds around a cut point. Where there is
// no output device, playing only says so: nothing else depends on it.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>

class QAudioSink;

namespace zembrio {

class TSoundFeed;

class TCutPlayer : public QObject {
  Q_OBJECT

 public:
  explicit TCutPlayer(QObject* parent = nullptr);
  ~TCutPlayer() override;

  // Plays path from fromMs up to toMs (< 0: to the end). False, with Message emitted, when
  // there is no output device or the source cannot be decoded.
  bool Play(const std::string& path, int64_t fromMs, int64_t toMs = -1);
  void Stop();
  bool Playing() const { return sink_ != nullptr; }

 signals:
  // Where playback is, for the strip's cursor.
  void PositionChanged(qint64 ms);
  void Stopped();
  // A text for the status bar.
  void Message(const QString& text);

 private:
  void ReportPosition();

  std::unique_ptr<TSoundFeed> feed_;
  std::unique_ptr<QAudioSink> sink_;
  QTimer clock_;
  int64_t fromMs_ = 0;
  QElapsedTimer started_;  // since the last Play, for the start's timings
  bool played_ = false;
};

}  // namespace zembrio
