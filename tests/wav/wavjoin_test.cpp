#include <gtest/gtest.h>

#include <cmath>

#include "core/fileio.h"
#include "recordingfeedback.h"
#include "sound/wavdecoder.h"
#include "wav/wavjoin.h"
#include "wav/wavstats.h"
#include "wavsources.h"

namespace zembrio::test {
namespace {

TEST(WavJoin, ConcatenatesAndRefusesOtherFormats) {
  WAV_SOURCES_OR_SKIP(s);
  TempDir dir;
  const std::string out = dir.File("joined.wav");
  TWavJoinWriter join(out, {}, /*rf64Threshold=*/700000);
  EXPECT_EQ(join.Append(s->Stereo16), TWavAppend::Appended);
  EXPECT_EQ(join.Append(s->Stereo16), TWavAppend::Appended);
  const int64_t size = join.DataSize();
  EXPECT_EQ(join.Append(s->Stereo48), TWavAppend::Refused);
  EXPECT_EQ(join.Refusal(), s->Stereo48 + " : 48000 Hz, la sortie est à 44100 Hz.");
  EXPECT_EQ(join.Append(s->Six16), TWavAppend::Refused);
  EXPECT_EQ(join.Refusal(), s->Six16 + " : 48000 Hz, la sortie est à 44100 Hz.");
  EXPECT_EQ(join.Append(s->Float32), TWavAppend::Refused);
  EXPECT_EQ(join.Refusal(), s->Float32 + " : flottant, la sortie est en PCM.");
  EXPECT_EQ(join.Append(out), TWavAppend::Refused);
  EXPECT_EQ(join.DataSize(), size);  // nothing of a refused input is written
  join.Finish();
  EXPECT_TRUE(join.IsRf64());
  const Bytes one = SampleBytes(ReadBytes(s->Stereo16));
  Bytes both = one;
  both.insert(both.end(), one.begin(), one.end());
  EXPECT_EQ(SampleBytes(ReadBytes(out)), both);
}

TEST(WavJoin, DescribesHowFormatsDiffer) {
  WAV_SOURCES_OR_SKIP(s);
  const Bytes stereo = LayoutOf(ReadBytes(s->Stereo16)).FmtBody;
  Bytes mono = stereo;
  mono[2] = 1;
  EXPECT_EQ(WavFormatDifference(mono, stereo), "1 canal, la sortie a 2 canaux");
  Bytes wide = stereo;
  wide[14] = 24;
  EXPECT_EQ(WavFormatDifference(wide, stereo), "24 bits, la sortie est en 16 bits");
  EXPECT_EQ(WavFormatDifference(stereo, stereo), "");
  EXPECT_EQ(WavFormatDifference(Bytes{1, 2}, stereo),
            "en-tête fmt différent de celui de la sortie");
}

TEST(WavStats, ReportsContainerFormatAndChunks) {
  WAV_SOURCES_OR_SKIP(s);
  RecordingContext run;
  ASSERT_EQ(WavStatistics(run.Context, s->Ext24), RunEndOfData);
  ASSERT_EQ(run.Feedback.Reports.size(), 1u);
  const std::vector<std::string>& lines = run.Feedback.Reports[0];
  const auto has = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  EXPECT_TRUE(has("Conteneur: RIFF"));
  EXPECT_TRUE(has("Format: PCM EXTENSIBLE"));
  EXPECT_TRUE(has("Fréquence: 96000 Hz"));
  EXPECT_TRUE(has("Échantillons: 192000"));
  EXPECT_TRUE(has("Blocs: fmt , fact, data"));

  RecordingContext bad;
  EXPECT_EQ(WavStatistics(bad.Context, s->Dir.File("missing.wav")), RunFailed);
  EXPECT_EQ(bad.Feedback.Messages.back(), "Opération avortée.");
}

// The decoded samples against sox's conversion of the same file to 32-bit floats.
TEST(WavDecoder, SamplesMatchSox) {
  WAV_SOURCES_OR_SKIP(s);
  TempDir dir;
  for (const std::string& path : {s->Stereo16, s->Ext24, s->Mono8, s->Six16, s->Float32}) {
    SCOPED_TRACE(path);
    RunTool("sox " + path + " -t f32 " + dir.File("raw.f32"));
    const Bytes raw = ReadBytes(dir.File("raw.f32"));
    std::vector<float> expected(raw.size() / 4);
    std::memcpy(expected.data(), raw.data(), expected.size() * 4);
    TWavDecoder decoder(path);
    const int channels = decoder.Format().Channels;
    std::vector<float> decoded;
    TPcmBlock block;
    while (decoder.Next(block))
      decoded.insert(decoded.end(), block.Data, block.Data + block.Frames * channels);
    ASSERT_EQ(decoded.size(), expected.size());
    EXPECT_EQ(static_cast<int64_t>(decoded.size()) / channels, decoder.TotalSamples());
    for (size_t i = 0; i < decoded.size(); i += 97)
      ASSERT_NEAR(decoded[i], expected[i], 1e-6) << i;
    // A stretch in the middle starts on its own sample.
    decoder.Select(1001, 1003);
    ASSERT_TRUE(decoder.Next(block));
    EXPECT_EQ(block.StartSample, 1001);
    EXPECT_EQ(block.Frames, 2);
    EXPECT_NEAR(block.Data[0], expected[1001 * channels], 1e-6);
    EXPECT_FALSE(decoder.Next(block));
  }
  EXPECT_THROW(TWavDecoder(s->Dir.File("stereo16.wav") + ".none"), std::system_error);
  WriteBytes(dir.File("not.wav"), Bytes(64, 'x'));
  EXPECT_THROW(TWavDecoder(dir.File("not.wav")), TSoundError);
}

}  // namespace
}  // namespace zembrio::test
