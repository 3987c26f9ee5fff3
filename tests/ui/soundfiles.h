// Sources for the strip and the player, made with sox and lame: a short "live recording"
// (songs with pauses between them) and two tones either side of a cut.
#pragma once

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace zembrio::test {

inline void RunTool(const std::string& command) {
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
    throw std::runtime_error("failed: " + command);
}

// Two songs of noise and chords at about -12 dBFS with a 2 s pause of room noise at 4..6 s
// and a 1.5 s one at 10.5..12 s; 16 s in all, 44100 Hz stereo.
inline void WriteLiveRecording(const std::string& folder, const std::string& mp3) {
  const std::string sox = "sox -q -n -r 44100 -c 2 -b 16 " + folder + "/";
  RunTool(sox + "s1.wav synth 4 pinknoise synth 4 sine amod 0.5 gain -10");
  RunTool(sox + "p1.wav synth 2 brownnoise gain -70");
  RunTool(sox + "s2.wav synth 4.5 sine 220 sine 277 synth 4.5 sine amod 1.5 gain -12");
  RunTool(sox + "p2.wav synth 1.5 brownnoise gain -70");
  RunTool(sox + "s3.wav synth 4 pinknoise gain -16 fade 0 4 1");
  const std::string f = folder + "/";
  RunTool("sox -q " + f + "s1.wav " + f + "p1.wav " + f + "s2.wav " + f + "p2.wav " + f +
          "s3.wav " + f + "live.wav");
  RunTool("lame --quiet -b 128 " + f + "live.wav " + mp3);
}

constexpr double kToneBeforeHz = 440, kToneAfterHz = 1000, kToneCutSeconds = 4;

// kToneBeforeHz for 4 s, then kToneAfterHz for 4 s: the cut between them is at 4 s.
inline void WriteTwoTones(const std::string& folder, const std::string& mp3) {
  const std::string f = folder + "/";
  RunTool("sox -q -n -r 44100 -c 1 -b 16 " + f + "a.wav synth 4 sine 440 gain -6");
  RunTool("sox -q -n -r 44100 -c 1 -b 16 " + f + "b.wav synth 4 sine 1000 gain -6");
  RunTool("sox -q " + f + "a.wav " + f + "b.wav " + f + "tones.wav");
  RunTool("lame --quiet -b 128 " + f + "tones.wav " + mp3);
}

}  // namespace zembrio::test
