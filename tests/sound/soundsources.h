// Sources made with sox, lame and oggenc: three tracks (noise, a tone with a short dip
// inside, noise) separated by two pauses of quiet noise at about -66 dBFS, in MP3 and Ogg,
// and a long MP3 of the same pattern repeated. Under ctest they are made once per run by
// make_sound_sources into the folder ZEMBRIO_SOUND_SOURCES names; a test program run on its
// own makes them once for itself.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "framebuilder.h"

namespace zembrio::test {

struct SoundSources {
  // The pattern in seconds: track 0..4, pause 4..6, track 6..10.3 with a dip at 8..8.3,
  // pause 10.3..11.8, track 11.8..15.8.
  static constexpr double kPause1Start = 4.0, kPause1End = 6.0;
  static constexpr double kPause2Start = 10.3, kPause2End = 11.8;
  static constexpr double kLength = 15.8;
  static constexpr int kLongRepeats = 8;

  TempDir Dir;  // scratch room for the tests, and the sources when no folder is shared
  std::string Folder = SharedFolderOr(Dir.Path());
  std::string Wav = Folder + "pattern.wav";
  std::string Mp3 = Folder + "pattern.mp3";
  std::string Ogg = Folder + "pattern.ogg";
  std::string LongMp3 = Folder + "long.mp3";
  static constexpr const char* kReadyStamp = "ready";

  SoundSources() {
    if (!std::filesystem::exists(Folder + kReadyStamp))
      Make(Folder);
  }

  // Makes the sources in d, writing the stamp that says they are whole last.
  static void Make(const std::string& d) {
    std::filesystem::remove(d + kReadyStamp);
    const std::string sox = "sox -q -n -r 44100 -c 2 -b 16 ";
    Run(sox + d + "t1.wav synth 4 pinknoise gain -12");
    Run(sox + d + "q1.wav synth 2 whitenoise gain -62");
    Run(sox + d + "t2a.wav synth 2 sine 440 gain -10");
    Run(sox + d + "dip.wav synth 0.3 whitenoise gain -62");
    Run(sox + d + "t2b.wav synth 2 sine 660 gain -10");
    Run(sox + d + "q2.wav synth 1.5 whitenoise gain -62");
    Run(sox + d + "t3.wav synth 4 whitenoise gain -14");
    Run("sox -q " + d + "t1.wav " + d + "q1.wav " + d + "t2a.wav " + d + "dip.wav " + d +
        "t2b.wav " + d + "q2.wav " + d + "t3.wav " + d + "pattern.wav");
    Run("lame --quiet -b 128 " + d + "pattern.wav " + d + "pattern.mp3");
    Run("oggenc -Q -q 3 -o " + d + "pattern.ogg " + d + "pattern.wav");
    Run("sox -q " + d + "pattern.wav " + d + "long.wav repeat " + std::to_string(kLongRepeats - 1));
    Run("lame --quiet -b 128 " + d + "long.wav " + d + "long.mp3");
    Run("touch " + d + kReadyStamp);
  }

  static std::string SharedFolderOr(const std::string& own) {
    const char* shared = std::getenv("ZEMBRIO_SOUND_SOURCES");
    return shared != nullptr && *shared != '\0' ? std::string(shared) + "/" : own;
  }

  static void Run(const std::string& command) {
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
      throw std::runtime_error("failed: " + command);
    }
  }

  static const SoundSources& Get() {
    static const auto sources = std::make_unique<SoundSources>();
    return *sources;
  }
};

}  // namespace zembrio::test
