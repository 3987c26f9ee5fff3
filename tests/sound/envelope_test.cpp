#include "sound/envelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "framebuilder.h"
#include "sound/decoder.h"
#include "sound/framemap.h"
#include "sound/levelmeter.h"
#include "sound/pauses.h"
#include "soundsources.h"

namespace zembrio {
namespace {

using test::SoundSources;

TLevel LevelAtSecond(const TEnvelope& envelope, double seconds) {
  return envelope.At(envelope.StepAt(static_cast<int64_t>(seconds * envelope.SampleRate())));
}

TEST(ComputeEnvelope, ReadsLowInPausesAndHighInTracks) {
  const SoundSources& s = SoundSources::Get();
  for (const std::string& path : {s.Mp3, s.Ogg}) {
    SCOPED_TRACE(path);
    const TEnvelopeResult result = ComputeEnvelope(path);
    ASSERT_EQ(result.Status, TSoundStatus::Finished);
    const TEnvelope& e = result.Envelope;
    EXPECT_EQ(e.StepSamples(), 441);
    EXPECT_NEAR(static_cast<double>(e.TotalSamples()) / 44100, SoundSources::kLength, 0.1);
    EXPECT_EQ(e.Count(), (e.TotalSamples() + 440) / 441);
    for (double t : {1.0, 3.0, 7.0, 9.5, 13.0}) {
      EXPECT_GT(LevelAtSecond(e, t).RmsDb, -30) << t;
      EXPECT_GE(LevelAtSecond(e, t).PeakDb, LevelAtSecond(e, t).RmsDb) << t;
    }
    for (double t : {4.5, 5.5, 8.15, 11.0}) {
      EXPECT_LT(LevelAtSecond(e, t).RmsDb, -60) << t;
      EXPECT_GT(LevelAtSecond(e, t).RmsDb, -80) << t << ": quiet noise, not silence";
    }
    // A 10 ms step of a -10 dB sine reads near its RMS of -13 dB.
    EXPECT_NEAR(LevelAtSecond(e, 7.0).RmsDb, -13.0, 1.0);
  }
}

TEST(ComputeEnvelope, TwoHalvesGiveTheEnvelopeOfOneWalk) {
  const std::string& path = SoundSources::Get().LongMp3;
  const TEnvelopeResult split = ComputeEnvelope(path);
  TEnvelope whole(44100, 441);
  auto decoder = OpenSoundDecoder(path);
  TLevelMeter meter(whole, decoder->Format().Channels);
  TPcmBlock block;
  int64_t expected = 0;
  while (decoder->Next(block)) {
    ASSERT_EQ(block.StartSample, expected);
    expected += block.Frames;
    meter.Add(block.Data, block.Frames);
  }
  meter.Finish();
  ASSERT_EQ(split.Envelope.Count(), whole.Count());
  EXPECT_EQ(split.Envelope.TotalSamples(), whole.TotalSamples());
  EXPECT_EQ(split.Envelope.RmsCodes(), whole.RmsCodes());
  EXPECT_EQ(split.Envelope.PeakCodes(), whole.PeakCodes());
}

TEST(ComputeEnvelope, StretchesHandedOverRebuildTheWholeEnvelope) {
  // Each stretch, put at its first step, lands on the final envelope's own codes, and the
  // stretches together cover every step once.
  for (const std::string& path : {SoundSources::Get().LongMp3, SoundSources::Get().Ogg}) {
    SCOPED_TRACE(path);
    std::vector<std::pair<int64_t, TEnvelope>> stretches;
    const TEnvelopeResult result =
        ComputeEnvelope(path, 10, nullptr, [&stretches](int64_t first, const TEnvelope& stretch) {
          stretches.emplace_back(first, stretch);
        });
    ASSERT_EQ(result.Status, TSoundStatus::Finished);
    const TEnvelope& whole = result.Envelope;
    std::vector<int> covered(static_cast<size_t>(whole.Count()), 0);
    int64_t samples = 0;
    for (const auto& [first, stretch] : stretches) {
      ASSERT_LE(first + stretch.Count(), whole.Count());
      samples += stretch.TotalSamples();
      for (int64_t i = 0; i < stretch.Count(); ++i) {
        ++covered[static_cast<size_t>(first + i)];
        EXPECT_EQ(stretch.PeakCodes()[i], whole.PeakCodes()[first + i]);
        EXPECT_EQ(stretch.RmsCodes()[i], whole.RmsCodes()[first + i]);
      }
    }
    EXPECT_EQ(samples, whole.TotalSamples());
    EXPECT_EQ(covered, std::vector<int>(covered.size(), 1));
    if (path == SoundSources::Get().LongMp3) {
      EXPECT_GT(stretches.size(), 2u);  // more stretches than processors
    }
  }
}

// What a watch heard, in the order it heard it.
struct THeard {
  std::vector<TEnvelopeShape> Opened;
  std::vector<std::pair<int64_t, TEnvelope>> Sketches;
  std::vector<std::pair<int64_t, TEnvelope>> Stretches;
  std::vector<char> Order;  // 'o', 's' (sketch) or 'm' (measured), one per call

  TEnvelopeWatch Watch() {
    TEnvelopeWatch watch;
    watch.Opened = [this](const TEnvelopeShape& shape) {
      Opened.push_back(shape);
      Order.push_back('o');
    };
    watch.Sketch = [this](int64_t first, const TEnvelope& stretch) {
      Sketches.emplace_back(first, stretch);
      Order.push_back('s');
    };
    watch.Stretch = [this](int64_t first, const TEnvelope& stretch) {
      Stretches.emplace_back(first, stretch);
      Order.push_back('m');
    };
    return watch;
  }
};

// How many times each step of a count-step envelope is covered by the stretches.
std::vector<int> Coverage(const std::vector<std::pair<int64_t, TEnvelope>>& stretches,
                          int64_t count) {
  std::vector<int> covered(static_cast<size_t>(count), 0);
  for (const auto& [first, stretch] : stretches) {
    for (int64_t i = 0; i < stretch.Count(); ++i) {
      if (first + i < count)
        ++covered[static_cast<size_t>(first + i)];
    }
  }
  return covered;
}

TEST(ComputeEnvelope, OpensFirstThenSketchesEveryStepBeforeMeasuringIt) {
  THeard heard;
  const TEnvelopeResult result =
      ComputeEnvelope(SoundSources::Get().LongMp3, 10, nullptr, heard.Watch());
  ASSERT_EQ(result.Status, TSoundStatus::Finished);
  const TEnvelope& whole = result.Envelope;
  ASSERT_EQ(heard.Opened.size(), 1u);
  EXPECT_EQ(heard.Order.front(), 'o');
  EXPECT_EQ(heard.Opened[0].SampleRate, 44100);
  EXPECT_EQ(heard.Opened[0].StepSamples, 441);
  EXPECT_EQ(heard.Opened[0].TotalSamples, whole.TotalSamples());
  // The measured stretches cover every step once. Sketches come first, in practice for all
  // steps; a sketch that another processor overtook is dropped, never handed over late.
  const std::vector<int> once(static_cast<size_t>(whole.Count()), 1);
  EXPECT_EQ(Coverage(heard.Stretches, whole.Count()), once);
  const std::vector<int> sketched = Coverage(heard.Sketches, whole.Count());
  EXPECT_LE(*std::max_element(sketched.begin(), sketched.end()), 1);
  EXPECT_GT(std::count(sketched.begin(), sketched.end(), 1), whole.Count() / 2);
  std::vector<char> measured(static_cast<size_t>(whole.Count()), 0);
  size_t sketch = 0, stretch = 0;
  for (const char call : heard.Order) {
    if (call == 'm') {
      const auto& [first, levels] = heard.Stretches[stretch++];
      std::fill_n(measured.begin() + first, levels.Count(), 1);
    } else if (call == 's') {
      const auto& [first, levels] = heard.Sketches[sketch++];
      EXPECT_EQ(std::count(measured.begin() + first, measured.begin() + first + levels.Count(), 1),
                0);
    }
  }

  // A sketched step reads like a frame's worth of measured steps near it (its frame stands
  // for about a second, and may straddle a change of level): the sketch is in its place and
  // at the envelope's scale.
  const int64_t near = 2 * 44100 / 441;
  const auto framesWorthAround = [&whole](int64_t j, double rms) {
    double low = 0, high = -200;
    for (int64_t k = j; k < std::min(j + 4, whole.Count()); ++k) {
      low = std::min(low, whole.At(k).RmsDb);
      high = std::max(high, whole.At(k).RmsDb);
    }
    return rms > low - 1.5 && rms < high + 1.5;
  };
  for (const auto& [first, sketch] : heard.Sketches) {
    ASSERT_LE(first + sketch.Count(), whole.Count());
    for (int64_t i = 0; i < sketch.Count(); i += 37) {
      const double rms = sketch.At(i).RmsDb;
      const int64_t step = first + i;
      bool found = false;
      for (int64_t j = std::max<int64_t>(0, step - near); j < step + near && !found; ++j)
        found = framesWorthAround(j, rms);
      EXPECT_TRUE(found) << "step " << step << " sketched at " << rms << " dB";
    }
  }
}

TEST(ComputeEnvelope, OtherSourcesHandTheirStretchesOverInOrder) {
  // 2 ms steps: 7900 steps of Ogg Vorbis, more than one stretch's worth.
  THeard heard;
  const TEnvelopeResult result =
      ComputeEnvelope(SoundSources::Get().Ogg, 2, nullptr, heard.Watch());
  ASSERT_EQ(result.Status, TSoundStatus::Finished);
  ASSERT_EQ(heard.Opened.size(), 1u);
  EXPECT_EQ(heard.Order.front(), 'o');
  EXPECT_TRUE(heard.Sketches.empty());
  ASSERT_GT(heard.Stretches.size(), 2u);
  int64_t next = 0;
  for (const auto& [first, stretch] : heard.Stretches) {
    EXPECT_EQ(first, next);
    for (int64_t i = 0; i < stretch.Count(); ++i)
      ASSERT_EQ(stretch.PeakCodes()[i], result.Envelope.PeakCodes()[first + i]) << first + i;
    next += stretch.Count();
  }
  EXPECT_EQ(next, result.Envelope.Count());
}

TEST(ComputeEnvelope, AbortAskedFromTheWatchEndsTheWork) {
  for (const std::string& path : {SoundSources::Get().LongMp3, SoundSources::Get().Ogg}) {
    SCOPED_TRACE(path);
    TSoundProgress progress;
    int heard = 0;
    TEnvelopeWatch watch;
    watch.Sketch = watch.Stretch = [&](int64_t, const TEnvelope&) {
      ++heard;
      progress.AbortRequested = true;
    };
    const TEnvelopeResult result = ComputeEnvelope(path, 2, &progress, watch);
    EXPECT_EQ(result.Status, TSoundStatus::Aborted);
    // The stretch that asked, and at most one that another processor was finishing.
    EXPECT_GE(heard, 1);
    EXPECT_LE(heard, 2);
  }
}

TEST(ComputeEnvelope, ProgressEndsAtOneAndAbortStops) {
  TSoundProgress progress;
  ComputeEnvelope(SoundSources::Get().Mp3, 10, &progress);
  EXPECT_EQ(progress.Fraction.load(), 1.0);
  TSoundProgress aborted;
  aborted.AbortRequested = true;
  EXPECT_EQ(ComputeEnvelope(SoundSources::Get().LongMp3, 10, &aborted).Status,
            TSoundStatus::Aborted);
}

TEST(ComputeEnvelope, LongerStepsAndHourLongMemory) {
  const TEnvelopeResult coarse = ComputeEnvelope(SoundSources::Get().Ogg, 1000);
  EXPECT_EQ(coarse.Envelope.StepSamples(), 44100);
  EXPECT_EQ(coarse.Envelope.Count(), 16);
  // Two bytes a step: ten hours of 10 ms steps.
  TEnvelope tenHours(48000, 480);
  for (int i = 0; i < 3600000; ++i) {
    tenHours.Append(0.5, 0.25, 480);
  }
  EXPECT_LT(tenHours.PeakCodes().capacity() + tenHours.RmsCodes().capacity(), 16u << 20);
}

TEST(TEnvelope, LevelsAreKeptToHalfADecibel) {
  TEnvelope e(1000, 10);
  e.Append(1.0, 1.0, 10);
  e.Append(0.5, 0.125, 10);
  e.Append(0.0, 0.0, 5);
  e.Append(4.0, 2.0, 10);  // beyond full scale reads as full scale
  EXPECT_EQ(e.At(0).PeakDb, 0.0);
  EXPECT_NEAR(e.At(1).PeakDb, -6.02, 0.25);
  EXPECT_NEAR(e.At(1).RmsDb, -9.03, 0.25);
  EXPECT_EQ(e.At(2).PeakDb, TEnvelope::kFloorDb);
  EXPECT_EQ(e.At(3).RmsDb, 0.0);
  EXPECT_EQ(e.TotalSamples(), 35);
  EXPECT_EQ(e.MaxOver(1, 3).PeakDb, e.At(1).PeakDb);
  EXPECT_EQ(e.MaxOver(5, 9).PeakDb, TEnvelope::kFloorDb);
}

TEST(TLevelMeter, StepsSpanBlocksAndTheLastOneIsShort) {
  TEnvelope e(1000, 4);
  TLevelMeter meter(e, 2);
  const float a[] = {0.5f, -0.5f, 0.5f, -0.5f, 0.5f, -0.5f};  // 3 frames
  meter.Add(a, 3);
  const float b[] = {-1.0f, 1.0f, 0.0f, 0.0f};
  meter.Add(b, 2);
  meter.AddLoud(2);
  meter.Finish();
  ASSERT_EQ(e.Count(), 2);
  EXPECT_EQ(e.At(0).PeakDb, 0.0);
  EXPECT_NEAR(e.At(0).RmsDb, 10 * std::log10((3 * 0.25 + 1.0) / 4), 0.25);
  EXPECT_EQ(e.TotalSamples(), 7);
}

TEST(Decoding, DamagedMpegDecodesOnWithoutCrash) {
  const SoundSources& s = SoundSources::Get();
  test::Bytes bytes = test::ReadFile(s.Mp3);
  const size_t middle = bytes.size() / 2;
  test::Bytes damaged(bytes.begin(), bytes.begin() + static_cast<long>(middle));
  test::Append(damaged, test::Garbage(3000, 0xFF));  // sync-like bytes between frames
  damaged.insert(damaged.end(), bytes.begin() + static_cast<long>(middle), bytes.end());
  // And the end cut off inside a frame.
  damaged.resize(damaged.size() - 1000);
  const std::string path = s.Dir.File("damaged.mp3");
  test::WriteFile(path, damaged);
  const TEnvelopeResult result = ComputeEnvelope(path);
  EXPECT_EQ(result.Status, TSoundStatus::Finished);
  EXPECT_NEAR(static_cast<double>(result.Envelope.TotalSamples()) / 44100, SoundSources::kLength,
              0.2);
  EXPECT_NO_THROW(DetectPauses(path, TPauseOptions{}));
}

TEST(Decoding, TruncatedOggAndNonAudioFiles) {
  const SoundSources& s = SoundSources::Get();
  test::Bytes ogg = test::ReadFile(s.Ogg);
  ogg.resize(ogg.size() / 2);
  const std::string half = s.Dir.File("half.ogg");
  test::WriteFile(half, ogg);
  const TEnvelopeResult result = ComputeEnvelope(half);
  EXPECT_GT(result.Envelope.TotalSamples(), 44100 * 5);
  EXPECT_LT(result.Envelope.TotalSamples(), 44100 * 12);

  const std::string text = s.Dir.File("text.mp3");
  test::WriteFile(text, test::Garbage(70000, 'a'));
  EXPECT_THROW(ComputeEnvelope(text), TSoundError);
  const std::string notOgg = s.Dir.File("text.ogg");
  test::WriteFile(notOgg, test::Garbage(5000, 'a'));
  EXPECT_THROW(ComputeEnvelope(notOgg), TSoundError);
  EXPECT_THROW(ComputeEnvelope(s.Dir.File("missing.mp3")), std::system_error);
}

TEST(MaxGlobalGain, TellsQuietFramesFromLoudOnes) {
  // The pattern's frames in its first track and in its first pause.
  const std::string& path = SoundSources::Get().Mp3;
  const int32_t bound = QuietGainBound(-48);
  const TFrameMap map = MapFrames(path, bound, nullptr);
  ASSERT_EQ(map.MaybeQuiet.size(), static_cast<size_t>(map.FrameCount));
  const auto frameAt = [&](double seconds) {
    return static_cast<size_t>(seconds * 44100 / map.SamplesPerFrame);
  };
  // Every quiet frame must be found; a loud one taken for quiet costs only its decoding.
  int loudTakenForQuiet = 0;
  for (size_t i = frameAt(0.2); i < frameAt(3.8); ++i) {
    loudTakenForQuiet += map.MaybeQuiet[i];
  }
  EXPECT_LT(loudTakenForQuiet, 10);
  for (size_t i = frameAt(4.1); i < frameAt(5.9); ++i) {
    EXPECT_EQ(map.MaybeQuiet[i], 1) << i;
  }
  EXPECT_EQ(QuietGainBound(-48) - QuietGainBound(-60), 8);
}

}  // namespace
}  // namespace zembrio
