#include <gtest/gtest.h>

#include <cstring>

#include "wav/wavfile.h"
#include "wav/wavformat.h"
#include "wav/wavwriter.h"
#include "wavsources.h"

namespace zembrio::test {
namespace {

uint32_t Le32At(const Bytes& bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}
uint64_t Le64At(const Bytes& bytes, size_t at) {
  uint64_t value;
  std::memcpy(&value, bytes.data() + at, 8);
  return value;
}
std::string IdAt(const Bytes& bytes, size_t at) {
  return std::string(bytes.begin() + static_cast<long>(at),
                     bytes.begin() + static_cast<long>(at) + 4);
}
void Put32(Bytes& out, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void PutChunk(Bytes& out, const char* id, const Bytes& body, bool pad = true) {
  out.insert(out.end(), id, id + 4);
  Put32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  if (pad && body.size() % 2 == 1)
    out.push_back(0);
}
// A 16-bit stereo 44.1 kHz `fmt ` body.
Bytes PcmFmt() {
  return {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
}
Bytes Riff(const Bytes& chunks, uint32_t size = 0) {
  Bytes out{'R', 'I', 'F', 'F'};
  Put32(out, size != 0 ? size : static_cast<uint32_t>(chunks.size() + 4));
  out.insert(out.end(), {'W', 'A', 'V', 'E'});
  out.insert(out.end(), chunks.begin(), chunks.end());
  return out;
}
TWavParse Parse(const Bytes& bytes) {
  TMemoryWavBytes source(bytes.data(), bytes.size());
  return ParseWav(source);
}

TEST(WavParse, ReadsWhatSoxAndFfmpegWrite) {
  WAV_SOURCES_OR_SKIP(s);
  const TWavFile stereo(s->Stereo16);
  EXPECT_FALSE(stereo.Layout().Rf64);
  EXPECT_EQ(stereo.Format().SampleRate, 44100u);
  EXPECT_EQ(stereo.Format().Channels, 2);
  EXPECT_EQ(stereo.Format().BlockAlign, 4);
  EXPECT_EQ(stereo.Samples(), 3 * 44100);
  EXPECT_EQ(stereo.Layout().DataOffset + stereo.Layout().DataSize, stereo.FileSize());

  const TWavFile ext(s->Ext24);
  EXPECT_TRUE(ext.Format().Extensible());
  EXPECT_EQ(ext.Format().Coding, kWavFormatPcm);
  EXPECT_EQ(ext.Format().ValidBits, 24);
  EXPECT_EQ(ext.Format().BlockAlign, 6);
  EXPECT_EQ(ext.Layout().FactSamples, std::optional<uint32_t>(2 * 96000));
  EXPECT_EQ(ext.Layout().FmtBody.size(), 40u);

  EXPECT_TRUE(TWavFile(s->Float32).Format().IsFloat());

  if (!HaveTool("ffmpeg"))
    GTEST_SKIP() << "ffmpeg is not installed";
  const TWavFile rf64(s->Rf64);
  EXPECT_TRUE(rf64.Layout().Rf64);
  EXPECT_EQ(rf64.Samples(), 3 * 44100);
  EXPECT_EQ(SampleBytes(ReadBytes(s->Rf64)), SampleBytes(ReadBytes(s->Stereo16)));
}

TEST(WavParse, RefusesWhatItCannotCut) {
  EXPECT_EQ(Parse(Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}).Refusal,
            "Source WAV invalide : en-tête RIFF/WAVE absent.");
  Bytes noData;
  PutChunk(noData, "fmt ", PcmFmt());
  EXPECT_EQ(Parse(Riff(noData)).Refusal, "Source WAV invalide : pas de bloc data.");
  Bytes noFmt;
  PutChunk(noFmt, "data", Bytes(8, 1));
  EXPECT_EQ(Parse(Riff(noFmt)).Refusal, "Source WAV invalide : pas de bloc fmt.");
  Bytes adpcm;
  Bytes fmt = PcmFmt();
  fmt[0] = 0x11;
  PutChunk(adpcm, "fmt ", fmt);
  PutChunk(adpcm, "data", Bytes(8, 1));
  EXPECT_EQ(Parse(Riff(adpcm)).Refusal,
            "Source WAV non prise en charge : format 0x0011 (seuls PCM et flottant se coupent "
            "sans perte).");
  Bytes zeroAlign;
  fmt = PcmFmt();
  fmt[12] = 0;
  PutChunk(zeroAlign, "fmt ", fmt);
  PutChunk(zeroAlign, "data", Bytes(8, 1));
  EXPECT_EQ(Parse(Riff(zeroAlign)).Refusal, "Source WAV invalide : bloc fmt illisible.");
  Bytes tooWide;
  fmt = PcmFmt();
  fmt[2] = fmt[3] = 0xFF;  // 65535 channels of 16 bits: no frame size fits the header
  PutChunk(tooWide, "fmt ", fmt);
  PutChunk(tooWide, "data", Bytes(8, 1));
  EXPECT_EQ(Parse(Riff(tooWide)).Refusal, "Source WAV invalide : bloc fmt illisible.");
  Bytes rf64 = Riff(Bytes{});
  std::memcpy(rf64.data(), "RF64", 4);
  PutChunk(rf64, "fmt ", PcmFmt());
  PutChunk(rf64, "data", Bytes(8, 1));
  EXPECT_EQ(Parse(rf64).Refusal, "Source WAV invalide : RF64 sans bloc ds64.");
}

// Sizes a pipe leaves unwritten, a file cut short, a pad byte left out, chunks after data.
TEST(WavParse, ToleratesStreamedAndSloppyFiles) {
  for (const uint32_t unknown : {0u, 0xFFFFFFFFu}) {
    Bytes chunks;
    PutChunk(chunks, "fmt ", PcmFmt());
    PutChunk(chunks, "data", Bytes(8, 1));
    std::memcpy(chunks.data() + 8 + 16 + 4, &unknown, 4);
    chunks.insert(chunks.end(), 6, 2);  // 1.5 sample frames more
    const TWavParse parse = Parse(Riff(chunks));
    ASSERT_TRUE(parse.Layout) << parse.Refusal;
    EXPECT_EQ(parse.Layout->DataSize, 12);  // whole frames only
    EXPECT_FALSE(parse.Layout->DataTruncated);
  }
  Bytes truncated;
  PutChunk(truncated, "fmt ", PcmFmt());
  PutChunk(truncated, "data", Bytes(400, 1));
  truncated.resize(truncated.size() - 100);
  const TWavParse cut = Parse(Riff(truncated));
  ASSERT_TRUE(cut.Layout);
  EXPECT_EQ(cut.Layout->DataSize, 300);
  EXPECT_TRUE(cut.Layout->DataTruncated);

  // A block alignment that disagrees with the channels and bits: sized as players size it.
  Bytes misaligned;
  Bytes wide = PcmFmt();
  wide[12] = 8;
  PutChunk(misaligned, "fmt ", wide);
  PutChunk(misaligned, "data", Bytes(40, 1));
  const TWavParse aligned = Parse(Riff(misaligned));
  ASSERT_TRUE(aligned.Layout) << aligned.Refusal;
  EXPECT_EQ(aligned.Layout->Format.BlockAlign, 4);
  EXPECT_EQ(aligned.Layout->Samples(), 10);
  EXPECT_EQ(aligned.Layout->FmtBody, wide);

  Bytes sloppy;
  Bytes fmt = PcmFmt();
  fmt[2] = 1;   // mono
  fmt[12] = 1;  // 8 bits
  fmt[14] = 8;
  PutChunk(sloppy, "fmt ", fmt);
  PutChunk(sloppy, "data", Bytes(7, 0x80), /*pad=*/false);
  PutChunk(sloppy, "LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 2, 0, 0, 0, 'x', 0});
  const TWavParse parse = Parse(Riff(sloppy));
  ASSERT_TRUE(parse.Layout) << parse.Refusal;
  EXPECT_EQ(parse.Layout->DataSize, 7);
  ASSERT_NE(parse.Layout->Find("LIST", "INFO"), nullptr);
  EXPECT_EQ(parse.Layout->Find("LIST", "INFO")->Body.size(), 14u);
}

TEST(WavWriter, HeaderKeepsFmtAndPadsOddData) {
  WAV_SOURCES_OR_SKIP(s);
  const TWavLayout source = LayoutOf(ReadBytes(s->Ext24));
  TempDir dir;
  TWavOutputOptions options;
  options.Header.FmtBody = source.FmtBody;
  options.Header.Fact = true;
  options.Header.ExtraChunks = WavChunkBytes("bext", Bytes(3, 7));
  TWavWriter writer(dir.File("out.wav"), options);
  const Bytes samples(6 * 5 + 3, 0x42);  // a partial frame makes the size odd
  writer.WriteSamples(samples.data(), samples.size());
  writer.Finish();
  const Bytes out = ReadBytes(dir.File("out.wav"));
  EXPECT_EQ(IdAt(out, 0), "RIFF");
  EXPECT_EQ(Le32At(out, 4), out.size() - 8);
  EXPECT_EQ(IdAt(out, 12), "JUNK");
  EXPECT_EQ(Le32At(out, 16), 28u);
  const TWavLayout layout = LayoutOf(out);
  EXPECT_EQ(layout.FmtBody, source.FmtBody);
  EXPECT_EQ(layout.FactSamples, std::optional<uint32_t>(5));
  EXPECT_EQ(Le32At(out, static_cast<size_t>(layout.DataOffset) - 4), samples.size());
  EXPECT_EQ(out.size(), static_cast<size_t>(layout.DataOffset) + samples.size() + 1);
  EXPECT_EQ(out.back(), 0);
  ASSERT_NE(layout.Find("bext"), nullptr);
  EXPECT_EQ(layout.Find("bext")->Body, Bytes(3, 7));
}

// The threshold stands for 4 GiB: an output past it turns RF64 at the end.
TEST(WavWriter, BecomesRf64PastTheThreshold) {
  WAV_SOURCES_OR_SKIP(s);
  const Bytes source = ReadBytes(s->Stereo16);
  TempDir dir;
  TWavOutputOptions options;
  options.Header.FmtBody = LayoutOf(source).FmtBody;
  options.Rf64Threshold = 1000;
  const Bytes samples = SampleBytes(source, 0, 1000);
  for (const int64_t frames : {200, 1000}) {
    const std::string path = dir.File(std::to_string(frames) + ".wav");
    TWavWriter writer(path, options);
    writer.WriteSamples(samples.data(), static_cast<size_t>(frames * 4));
    writer.Finish();
    const Bytes out = ReadBytes(path);
    const TWavLayout layout = LayoutOf(out);
    EXPECT_EQ(layout.Rf64, frames == 1000);
    EXPECT_EQ(layout.Samples(), frames);
    EXPECT_EQ(SampleBytes(out), Bytes(samples.begin(), samples.begin() + frames * 4));
    if (frames == 1000) {
      EXPECT_EQ(IdAt(out, 0), "RF64");
      EXPECT_EQ(Le32At(out, 4), 0xFFFFFFFFu);
      EXPECT_EQ(IdAt(out, 12), "ds64");
      EXPECT_EQ(Le64At(out, 20), out.size() - 8);
      EXPECT_EQ(Le64At(out, 28), 4000u);
      EXPECT_EQ(Le64At(out, 36), 1000u);
      EXPECT_EQ(Le32At(out, static_cast<size_t>(layout.DataOffset) - 4), 0xFFFFFFFFu);
      if (HaveTool("ffmpeg")) {  // another reader agrees
        RunTool("ffmpeg -v error -y -i " + path + " -f s16le " + dir.File("raw"));
        EXPECT_EQ(ReadBytes(dir.File("raw")), samples);
      }
    }
  }
}

TEST(WavFormat, MovesTheBextTimeReference) {
  Bytes body(602, 0);
  body[338] = 0x10;
  body[342] = 0x01;  // 2^32 + 16
  const auto moved = ShiftBextTimeReference(body, 44100);
  ASSERT_TRUE(moved);
  uint64_t reference;
  std::memcpy(&reference, moved->data() + 338, 8);
  EXPECT_EQ(reference, (uint64_t{1} << 32) + 16 + 44100);
  EXPECT_FALSE(ShiftBextTimeReference(Bytes(300, 0), 1));
}

}  // namespace
}  // namespace zembrio::test
