#include <gtest/gtest.h>

#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/wavfile.h>

#include "core/fileio.h"
#include "core/settings.h"
#include "recordingfeedback.h"
#include "settingsguard.h"
#include "wav/wavcut.h"
#include "wav/wavformat.h"
#include "wav/wavwriter.h"
#include "wavsources.h"

namespace zembrio::test {
namespace {

void AddPoint(TCPList& list, int32_t seconds, int32_t ms, const std::string& name) {
  TCutPoint& point = list.Add();
  SetMilliseconds(point, seconds, ms);
  point.Name = name;
}

struct CutResult {
  TRunOutcome Outcome;
  RecordingContext Run;
};

std::unique_ptr<CutResult> Cut(const std::string& source, const std::string& dir, TCPList& list,
                               int64_t threshold = 0xFFFFFFFF) {
  auto result = std::make_unique<CutResult>();
  TWavCutRun run;
  run.SourcePath = source;
  run.OutputDir = dir;
  run.Rf64Threshold = threshold;
  run.Tags = Settings().ID3V2TAG == 1;
  result->Outcome = CutWav(result->Run.Context, list, run);
  return result;
}

// Every source kind: each track holds exactly its slice of samples, with the source's
// `fmt ` bytes, and a whole cut's tracks end to end give back the source's samples.
TEST(WavCut, TracksAreTheSourceSlicesEndToEnd) {
  WAV_SOURCES_OR_SKIP(s);
  SettingsGuard guard;
  Settings().ID3V2TAG = 0;
  for (const std::string& path : {s->Stereo16, s->Ext24, s->Mono8, s->Six16, s->Float32}) {
    SCOPED_TRACE(path);
    const Bytes source = ReadBytes(path);
    const TWavLayout layout = LayoutOf(source);
    const int64_t rate = layout.Format.SampleRate;
    TempDir dir;
    TCPList list;
    AddPoint(list, 0, 0, "a");
    AddPoint(list, 0, 333, "b");  // 0.333 s: an odd count of 8-bit mono samples before it
    AddPoint(list, 0, 700, "c");
    const auto cut = Cut(path, dir.Path(), list);
    ASSERT_EQ(cut->Outcome, RunEndOfData);
    const int64_t b = rate * 333 / 1000, c = rate * 700 / 1000;
    const Bytes a = ReadBytes(dir.File("a.wav"));
    EXPECT_EQ(SampleBytes(a), SampleBytes(source, 0, b));
    EXPECT_EQ(SampleBytes(ReadBytes(dir.File("b.wav"))), SampleBytes(source, b, c));
    Bytes joined = SampleBytes(a);
    for (const char* name : {"b.wav", "c.wav"}) {
      const Bytes track = SampleBytes(ReadBytes(dir.File(name)));
      joined.insert(joined.end(), track.begin(), track.end());
    }
    EXPECT_EQ(joined, SampleBytes(source));
    const TWavLayout out = LayoutOf(a);
    EXPECT_EQ(out.FmtBody, layout.FmtBody);
    EXPECT_EQ(out.FactSamples.has_value(), layout.FactSamples.has_value());
    if (out.FactSamples) {
      EXPECT_EQ(*out.FactSamples, static_cast<uint32_t>(b));
    }
    EXPECT_EQ(a.size() % 2, 0u);  // padded when the data is odd
    EXPECT_EQ(cut->Run.Feedback.RowStatus[3], "fait");
  }
}

TEST(WavCut, PassesOverUnnamedEmptyAndUnreachedPoints) {
  WAV_SOURCES_OR_SKIP(s);
  const Bytes source = ReadBytes(s->Stereo16);
  TempDir dir;
  TCPList list;
  AddPoint(list, 0, 500, "");
  AddPoint(list, 1, 0, "same");
  AddPoint(list, 1, 0, "one");
  AddPoint(list, 3, 0, "end");  // the source's last sample is before 3 s
  const auto cut = Cut(s->Stereo16, dir.Path() + "new/", list);
  ASSERT_EQ(cut->Outcome, RunEndOfData);
  auto& status = cut->Run.Feedback.RowStatus;
  EXPECT_EQ(status[1], "sauté");
  EXPECT_EQ(status[2], "vide");
  EXPECT_EQ(status[3], "fait");
  EXPECT_EQ(status.count(4), 0u);
  EXPECT_FALSE(FileExists(dir.File("new/same.wav")));
  EXPECT_FALSE(FileExists(dir.File("new/end.wav")));
  EXPECT_EQ(list[3].Report, std::vector<std::string>{"  non atteint"});
  EXPECT_EQ(SampleBytes(ReadBytes(dir.File("new/one.wav"))), SampleBytes(source, 44100));
  ASSERT_EQ(cut->Run.Feedback.Reports.size(), 1u);
}

// A file that ends before the size its data chunk announces is cut up to its end, and the
// cut's report says why the last track is short.
TEST(WavCut, ATruncatedSourceIsCutToItsEndAndTheReportSaysSo) {
  WAV_SOURCES_OR_SKIP(s);
  Bytes source = ReadBytes(s->Stereo16);
  source.resize(source.size() - 4000);
  TempDir dir;
  const std::string path = dir.File("short.wav");
  WriteBytes(path, source);
  TCPList list;
  AddPoint(list, 0, 0, "a");
  AddPoint(list, 1, 0, "b");
  const auto cut = Cut(path, dir.Path() + "out/", list);
  ASSERT_EQ(cut->Outcome, RunEndOfData);
  const TWavLayout layout = LayoutOf(source);
  ASSERT_TRUE(layout.DataTruncated);
  EXPECT_EQ(SampleBytes(ReadBytes(dir.File("out/b.wav"))), SampleBytes(source, 44100));
  ASSERT_EQ(cut->Run.Feedback.Reports.size(), 1u);
  const std::vector<std::string>& report = cut->Run.Feedback.Reports[0];
  EXPECT_NE(std::find(report.begin(), report.end(),
                      "Bloc data tronqué : le fichier finit avant la taille annoncée."),
            report.end());
}

TEST(WavCut, OverwritePolicyAndAbort) {
  WAV_SOURCES_OR_SKIP(s);
  TempDir dir;
  WriteBytes(dir.File("a.wav"), Bytes{1, 2, 3});
  TCPList list;
  AddPoint(list, 0, 0, "a");
  AddPoint(list, 1, 0, "b");
  const auto refused = Cut(s->Stereo16, dir.Path(), list);  // the questions answer "Stop"
  EXPECT_EQ(refused->Outcome, RunAborted);
  EXPECT_EQ(ReadBytes(dir.File("a.wav")), (Bytes{1, 2, 3}));
  EXPECT_EQ(refused->Run.Feedback.RowStatus[1], "**    abandon **");
  EXPECT_EQ(refused->Run.Feedback.Messages.back(), "  Abandon .");

  TCPList self;
  AddPoint(self, 0, 0, "stereo16");
  AddPoint(self, 1, 0, "");
  const std::string folder = s->Stereo16.substr(0, s->Stereo16.rfind('/') + 1);
  const auto onSource = Cut(s->Stereo16, folder, self);
  EXPECT_EQ(onSource->Outcome, RunFailed);
  EXPECT_EQ(onSource->Run.Feedback.Messages.front(), "Fichier source non écrasable!");

  TCPList big;
  AddPoint(big, 0, 0, "big");
  AddPoint(big, 2, 0, "");
  auto run = std::make_unique<RecordingContext>();
  run->Feedback.OnEvents = [&] { run->State.AbortRequested = true; };
  TWavCutRun cutRun{s->Float32, dir.Path()};
  cutRun.Tags = Settings().ID3V2TAG == 1;
  EXPECT_EQ(CutWav(run->Context, big, cutRun), RunAborted);
  EXPECT_EQ(run->Feedback.RowStatus[1], "**    abandon **");
  EXPECT_EQ(big[0].Report.back(), " **   abandon  **");
  EXPECT_FALSE(FileExists(dir.File("big.wav")));
}

// With ID3V2TAG the fields of the track list go into LIST/INFO and `id3 `; without it the
// source's own chunks are copied. bext moves with the track, cue points are left out.
TEST(WavCut, TagsAndChunksOfTheTracks) {
  WAV_SOURCES_OR_SKIP(s);
  SettingsGuard guard;
  TempDir dir;
  const std::string source = dir.File("tagged.wav");
  {
    const Bytes plain = ReadBytes(s->Stereo16);
    const TWavLayout layout = LayoutOf(plain);
    TWavOutputOptions options;
    options.Header.FmtBody = layout.FmtBody;
    Bytes bext(602, 0);
    bext[338] = 100;
    options.Header.ExtraChunks = WavChunkBytes("bext", bext);
    const Bytes cue(28, 0);
    const Bytes cueChunk = WavChunkBytes("cue ", cue);
    options.Header.ExtraChunks.insert(options.Header.ExtraChunks.end(), cueChunk.begin(),
                                      cueChunk.end());
    TWavWriter writer(source, options);
    const Bytes samples = SampleBytes(plain);
    writer.WriteSamples(samples.data(), samples.size());
    writer.Finish();
    TagLib::RIFF::WAV::File file(source.c_str());
    file.InfoTag()->setTitle("Album entier");
    file.InfoTag()->setFieldText("ICMT", TagLib::String("gardé", TagLib::String::UTF8));
    file.ID3v2Tag()->setArtist("Source");
    file.save();
  }
  TCPList list;
  list.Album.Album = "Disque";
  AddPoint(list, 0, 0, "un");
  AddPoint(list, 1, 0, "deux");
  list[1].Title = "Deuxième";
  list[1].Artist = "Zoé";
  Settings().ID3V2TAG = 1;
  ASSERT_EQ(Cut(source, dir.File("on/"), list)->Outcome, RunEndOfData);
  {
    TagLib::RIFF::WAV::File track(dir.File("on/deux.wav").c_str());
    ASSERT_TRUE(track.isValid());
    EXPECT_EQ(track.InfoTag()->title().to8Bit(true), "Deuxième");
    EXPECT_EQ(track.InfoTag()->artist().to8Bit(true), "Zoé");
    EXPECT_EQ(track.InfoTag()->album().to8Bit(true), "Disque");
    EXPECT_EQ(track.InfoTag()->fieldText("ITRK").to8Bit(true), "2");
    EXPECT_EQ(track.InfoTag()->fieldText("ICMT").to8Bit(true), "gardé");
    EXPECT_EQ(track.ID3v2Tag()->title().to8Bit(true), "Deuxième");
    EXPECT_EQ(track.ID3v2Tag()->track(), 2u);
    const TWavLayout layout = LayoutOf(ReadBytes(dir.File("on/deux.wav")));
    ASSERT_NE(layout.Find("bext"), nullptr);
    EXPECT_EQ(layout.Find("bext")->Body[338] | layout.Find("bext")->Body[339] << 8, 100 + 44100);
    EXPECT_EQ(layout.Find("cue "), nullptr);
  }
  Settings().ID3V2TAG = 0;
  ASSERT_EQ(Cut(source, dir.File("off/"), list)->Outcome, RunEndOfData);
  TagLib::RIFF::WAV::File track(dir.File("off/deux.wav").c_str());
  EXPECT_EQ(track.InfoTag()->title().to8Bit(true), "Album entier");
  EXPECT_EQ(track.ID3v2Tag()->artist().to8Bit(true), "Source");
}

TEST(WavCut, ReadsRf64AndWritesRf64PastTheThreshold) {
  WAV_SOURCES_OR_SKIP(s);
  if (!HaveTool("ffmpeg"))
    GTEST_SKIP() << "ffmpeg is not installed";
  TempDir dir;
  TCPList list;
  AddPoint(list, 0, 0, "small");
  AddPoint(list, 0, 100, "large");
  ASSERT_EQ(Cut(s->Rf64, dir.Path(), list, /*threshold=*/100 * 1000)->Outcome, RunEndOfData);
  const Bytes source = ReadBytes(s->Stereo16);
  const Bytes small = ReadBytes(dir.File("small.wav"));
  const Bytes large = ReadBytes(dir.File("large.wav"));
  EXPECT_FALSE(LayoutOf(small).Rf64);
  EXPECT_TRUE(LayoutOf(large).Rf64);
  EXPECT_EQ(SampleBytes(large), SampleBytes(source, 4410));
}

}  // namespace
}  // namespace zembrio::test
