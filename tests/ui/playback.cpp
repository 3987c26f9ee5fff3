// Playback heard for real: a private PulseAudio server with a null sink plays the seconds
// around a cut between two tones, parec records the sink's monitor, and the recording must
// hold the tone before the cut and then the tone after it. Skipped where pulseaudio or
// parec is missing.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QTest>
#include <cmath>
#include <csignal>
#include <fstream>

#include "cutlist/cutpoint.h"
#include "soundfiles.h"
#include "ui/cutpage.h"
#include "ui/cutplayer.h"
#include "ui/soundpanel.h"
#include "ui/statuspanel.h"
#include "ui/wavestrip.h"
#include "uitesthelpers.h"

namespace zembrio::test {

namespace {

constexpr int kRecordRate = 16000;

bool HaveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The signal's power at frequency over a window of samples.
double Goertzel(const std::vector<int16_t>& samples, size_t first, size_t count, double hz) {
  const double coefficient = 2 * std::cos(2 * M_PI * hz / kRecordRate);
  double previous = 0, before = 0;
  for (size_t i = first; i < first + count; ++i) {
    const double current = samples[i] / 32768.0 + coefficient * previous - before;
    before = previous;
    previous = current;
  }
  return previous * previous + before * before - coefficient * previous * before;
}

// The tones heard, window by window: 'a' before the cut, 'b' after it, '.' neither.
std::string HeardTones(const std::vector<int16_t>& samples) {
  std::string heard;
  const size_t window = kRecordRate / 10;
  for (size_t first = 0; first + window <= samples.size(); first += window) {
    const double before = Goertzel(samples, first, window, kToneBeforeHz);
    const double after = Goertzel(samples, first, window, kToneAfterHz);
    const double loud = 100;  // a tone at -6 dBFS gives some 40000 over a window
    if (before > loud && before > 20 * after)
      heard += 'a';
    else if (after > loud && after > 20 * before)
      heard += 'b';
    else
      heard += '.';
  }
  return heard;
}

// Starts a program with its arguments, its output into outputPath; returns its pid.
pid_t Spawn(const std::vector<std::string>& arguments, const std::string& outputPath) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int output = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(output, STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

void StopProcess(pid_t pid) {
  if (pid <= 0)
    return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

}  // namespace

class TestPlayback : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (!HaveTool("pulseaudio") || !HaveTool("parec") || !HaveTool("pactl"))
      QSKIP("pulseaudio, parec and pactl are needed to hear playback");
    // The server lives in a folder of its own, so it neither meets nor disturbs another:
    // its socket is named, the client is sent there, and no pid file is shared.
    const std::string socket = runtime_.File("native");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime_.Path()));
    qputenv("PULSE_SERVER", QByteArray::fromStdString("unix:" + socket));
    serverPid_ = Spawn({"pulseaudio", "-n", "--exit-idle-time=-1", "--use-pid-file=no",
                        "--disallow-exit", "--load=module-null-sink sink_name=null",
                        "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket},
                       "/dev/null");
    QTRY_VERIFY_WITH_TIMEOUT(std::system("pactl info >/dev/null 2>&1") == 0, 10000);
  }

  void cleanupTestCase() { StopProcess(serverPid_); }

  void hearingACutPlaysTheToneBeforeThenTheToneAfter() {
    TStartedWindow started;
    started.Start("", "HEARCUT=2000\n");
    WriteTwoTones(started.Dir.Path(), started.Dir.File("tones.mp3"));
    started.SelectFile("tones.mp3");
    TCPList& list = *started.Window->CutList();
    TCutPoint& cut = list.Add();
    SetMilliseconds(cut, static_cast<int32_t>(kToneCutSeconds), 0);
    cut.Name = "second";
    started.Window->Grid()->RefreshGrid();
    started.Window->Grid()->SelectRow(2);

    const std::string recording = started.Dir.File("heard.raw");
    const pid_t recorder =
        Spawn({"parec", "-d", "null.monitor", "--raw", "--format=s16le", "--channels=1",
               "--rate=" + std::to_string(kRecordRate), "--latency-msec=20"},
              recording);
    QTest::qWait(500);  // the recorder connects before the first sample plays
    TSoundPanel* sound = started.Window->CutPage()->Sound();
    sound->Strip()->SetCursorMs(1000);
    sound->ACHearCut()->trigger();
    QVERIFY(sound->Player()->Playing());
    QVERIFY(started.Window->StatusPanel()->InfoText().contains("Lecture..."));
    // The cursor follows the playback through the seconds around the cut.
    QTRY_VERIFY_WITH_TIMEOUT(sound->Strip()->CursorMs() > kToneCutSeconds * 1000, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(!sound->Player()->Playing(), 20000);
    // Hearing a cut is a look aside: the cursor is back where it was, and nothing claims
    // that anything still plays.
    QCOMPARE(sound->Strip()->CursorMs(), int64_t(1000));
    QVERIFY2(!started.Window->StatusPanel()->InfoText().contains("Lecture"),
             qPrintable(started.Window->StatusPanel()->InfoText()));
    QTest::qWait(500);
    StopProcess(recorder);

    std::ifstream in(recording, std::ios::binary);
    std::vector<int16_t> samples;
    int16_t sample = 0;
    while (in.read(reinterpret_cast<char*>(&sample), sizeof sample))
      samples.push_back(sample);
    const std::string heard = HeardTones(samples);
    const size_t firstA = heard.find('a'), firstB = heard.find('b');
    QVERIFY2(firstA != std::string::npos && firstB != std::string::npos, heard.c_str());
    QVERIFY2(firstA < firstB && heard.find('a', firstB) == std::string::npos, heard.c_str());
    // The two seconds of HEARCUT on each side: neither cut short nor played on. On a busy
    // machine the sound server may run dry for a moment; the monitor then hears a gap, and
    // after it some of the same sound again (the server rewinds): each gap inside a tone
    // allows two windows more of it.
    const auto count = [&heard](char tone) { return std::count(heard.begin(), heard.end(), tone); };
    const auto gapsInside = [&heard](char tone) {
      const size_t first = heard.find(tone), last = heard.rfind(tone);
      return std::count(heard.begin() + static_cast<long>(first),
                        heard.begin() + static_cast<long>(last), '.');
    };
    QVERIFY2(count('a') >= 16 && count('a') <= 22 + 2 * gapsInside('a'), heard.c_str());
    QVERIFY2(count('b') >= 16 && count('b') <= 22 + 2 * gapsInside('b'), heard.c_str());
  }

 private:
  TempDir runtime_;
  pid_t serverPid_ = 0;
};

}  // namespace zembrio::test

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  zembrio::test::TestPlayback test;
  return QTest::qExec(&test, argc, argv);
}

#include "playback.moc"
