// Starts playback of each source given, from its start and from its middle, several times,
// through the default audio output, and prints how long each step of the start took (the
// player's "zembrio.playback" log): the source opened, the output started, the first samples
// taken by the output and the first ones it played; then when the sound was heard on the
// monitor of the output (parec, when RECORD_DEVICE names it), which adds the server's buffers.
//
// With WINDOW=1 the same goes through the window: the source is selected in the file list,
// which starts its waveform, and "Écouter" is triggered at once and again once the waveform
// is complete.
//
//   RECORD_DEVICE=null.monitor [WINDOW=1] zembrio_bench_playback [RUNS] SOURCE...
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/inifile.h"
#include "sound/decoder.h"
#include "ui/appwindows.h"
#include "ui/cutpage.h"
#include "ui/cutplayer.h"
#include "ui/envelopeloader.h"
#include "ui/filebrowser.h"
#include "ui/soundpanel.h"
#include "ui/wavestrip.h"

namespace {

// Runs the event loop for ms milliseconds.
void Wait(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

int64_t LengthMs(const std::string& path) {
  const auto decoder = zembrio::OpenSoundDecoder(path, nullptr);
  return decoder->TotalSamples() * 1000 / std::max(1, decoder->Format().SampleRate);
}

// Listens to the output's monitor as it plays: Heard() tells how long after Arm() the first
// sample above a whisper arrived (-1 while none has).
class TMonitor {
 public:
  explicit TMonitor(const QString& device) {
    if (device.isEmpty())
      return;
    QObject::connect(&recorder_, &QProcess::readyReadStandardOutput, [this] { Take(); });
    recorder_.start("parec", {"-d", device, "--raw", "--format=s16le", "--channels=1",
                              "--rate=48000", "--latency-msec=5"});
    recorder_.waitForStarted();
    Wait(qEnvironmentVariableIntValue("MONITOR_WARMUP_MS") + 500);
  }
  ~TMonitor() {
    recorder_.kill();
    recorder_.waitForFinished();
  }
  bool Active() const { return recorder_.state() == QProcess::Running; }
  void Arm() {
    recorder_.readAllStandardOutput();
    heardMs_ = -1;
    armed_.start();
  }
  qint64 Heard() const { return heardMs_; }

 private:
  void Take() {
    const QByteArray data = recorder_.readAllStandardOutput();
    if (!armed_.isValid() || heardMs_ >= 0)
      return;
    const auto* samples = reinterpret_cast<const int16_t*>(data.constData());
    for (qsizetype i = 0; i < data.size() / 2; ++i) {
      if (std::abs(samples[i]) > 1000) {
        heardMs_ = armed_.elapsed();
        return;
      }
    }
  }

  QProcess recorder_;
  QElapsedTimer armed_;
  qint64 heardMs_ = -1;
};

}  // namespace

// Through the window: selects each source and plays it as the user would, while its
// waveform loads and after.
int RunWindow(TMonitor& monitor, int runs, const QStringList& sources) {
  const std::string ini = QDir::temp().filePath("zembrio-bench-playback.ini").toStdString();
  std::unique_ptr<zembrio::TfrmMain> window = zembrio::CreateApplicationWindows();
  window->SetIniPath(ini);
  window->show();
  zembrio::TSoundPanel* sound = window->CutPage()->Sound();
  for (const QString& source : sources) {
    for (int run = 0; run < runs; ++run) {
      for (const bool loading : {true, false}) {
        window->Browser()->SetFolder(QFileInfo(source).absolutePath());
        window->Browser()->SelectFile(QString());
        Wait(100);
        window->Browser()->SelectFile(QFileInfo(source).fileName());
        if (!loading) {
          while (sound->Loader()->Running())
            Wait(50);
        }
        std::fprintf(stderr, "-- %s, window, waveform %s\n", qPrintable(source),
                     loading ? "loading" : "complete");
        monitor.Arm();
        sound->ACPlay()->trigger();
        Wait(1500);
        if (monitor.Active())
          std::fprintf(stderr, "heard on the monitor: %lld ms\n",
                       static_cast<long long>(monitor.Heard()));
        sound->Player()->Stop();
        Wait(200);
      }
    }
  }
  window->close();
  QFile::remove(QString::fromStdString(ini));
  return 0;
}

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QLoggingCategory::setFilterRules("zembrio.playback.debug=true");
  int first = 1;
  int runs = 3;
  if (argc > 1 && std::atoi(argv[1]) > 0) {
    runs = std::atoi(argv[1]);
    first = 2;
  }
  TMonitor monitor(qEnvironmentVariable("RECORD_DEVICE"));
  if (qEnvironmentVariableIntValue("WINDOW") == 1) {
    QStringList sources;
    for (int index = first; index < argc; ++index)
      sources << QString::fromLocal8Bit(argv[index]);
    return RunWindow(monitor, runs, sources);
  }
  zembrio::TCutPlayer player;
  QObject::connect(&player, &zembrio::TCutPlayer::Message,
                   [](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });
  for (int index = first; index < argc; ++index) {
    const std::string path = argv[index];
    const int64_t middle = LengthMs(path) / 2;
    for (const int64_t from : {int64_t{0}, middle}) {
      for (int run = 0; run < runs; ++run) {
        std::fprintf(stderr, "-- %s from %lld ms\n", path.c_str(), static_cast<long long>(from));
        monitor.Arm();
        if (!player.Play(path, from))
          return 1;
        Wait(1500);
        if (monitor.Active())
          std::fprintf(stderr, "heard on the monitor: %lld ms\n",
                       static_cast<long long>(monitor.Heard()));
        player.Stop();
        Wait(200);
      }
    }
  }
  return 0;
}
