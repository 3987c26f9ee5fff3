#include "app/sourceformat.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "cut/oggcut.h"
#include "mpegrunfixture.h"

namespace zembrio::test {
namespace {

namespace fs = std::filesystem;

using SourceFormatTest = MpegRunTest;

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// The start of an Ogg stream whose first packet starts with packetStart.
Bytes OggStart(const std::string& packetStart) {
  Bytes page = Text("OggS");
  page.push_back(0);
  page.push_back(0x02);
  page.resize(26, 0);
  page.push_back(1);
  page.push_back(static_cast<uint8_t>(packetStart.size()));
  Append(page, Text(packetStart));
  Append(page, Garbage(200));
  return page;
}

TEST_F(SourceFormatTest, CutSourceRefusesShortListsAndDispatchesByContent) {
  WriteFile(source, Frames(kSpec, 20));
  AddPoint(0, 0, "a");
  rc.Feedback.RowStatus[1] = "old";
  EXPECT_EQ(CutSource(rc.Context, list, source, outDir, false), RunFailed);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Spécifiez des points de coupe !!!"}));
  EXPECT_EQ(rc.Feedback.RowStatus[1], "old");

  AddPoint(10, 0, "");
  const std::string upper = dir.File("SONG.MP3");
  fs::rename(source, upper);
  EXPECT_EQ(CutSource(rc.Context, list, upper, outDir, false), RunEndOfData);
  EXPECT_TRUE(fs::exists(outDir + "/a.MP3"));

  // An Ogg Vorbis stream goes to the external cutter whatever its name says.
  rc.Feedback.Messages.clear();
  Settings().VCUTEXE = dir.File("no-such-cutter");
  const std::string ogg = dir.File("song.mp3.bak");
  WriteFile(ogg, OggStart("\x01vorbis"));
  EXPECT_EQ(CutSource(rc.Context, list, ogg, outDir, false), RunFailed);
  EXPECT_EQ(Messages(), (std::vector<std::string>{kCutterMissing}));
}

TEST_F(SourceFormatTest, SourcesNoFormatTakesAreRefusedBeforeAnythingIsWritten) {
  AddPoint(0, 0, "a");
  AddPoint(1, 0, "b");
  const std::string text = dir.File("notes.ogg");
  WriteFile(text, Garbage(5000));
  const std::string opus = dir.File("talk.ogg");
  WriteFile(opus, OggStart("OpusHead"));
  EXPECT_EQ(CutSource(rc.Context, list, text, outDir, false), RunFailed);
  EXPECT_EQ(CutSource(rc.Context, list, opus, outDir, false), RunFailed);
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{
                "notes.ogg : format non reconnu (MPEG, Ogg Vorbis, FLAC ou WAV attendu).",
                "talk.ogg : Ogg Opus n'est pas pris en charge."}));
  EXPECT_FALSE(fs::exists(outDir));

  TStatsJob job;
  job.SourcePath = text;
  EXPECT_EQ(SourceStatistics(rc.Context, list, job), RunFailed);
  job.SourcePath = dir.File("vorbis.ogg");
  WriteFile(job.SourcePath, OggStart("\x01vorbis"));
  EXPECT_EQ(SourceStatistics(rc.Context, list, job), RunFailed);
  EXPECT_EQ(Messages().back(), "Statistiques indisponibles pour les fichiers ogg !");
}

TEST_F(SourceFormatTest, TheJoinModeFollowsTheFilesJoined) {
  const std::string mp3a = dir.File("a.mp3");
  const std::string mp3b = dir.File("b.MP2");
  const std::string vorbis = dir.File("c.ogg");
  const std::string opus = dir.File("d.opus");
  const std::string junk = dir.File("e.mp3");
  WriteFile(mp3a, Frames(kSpec, 5));
  WriteFile(mp3b, Frames(kSpec, 5));
  WriteFile(vorbis, OggStart("\x01vorbis"));
  WriteFile(opus, OggStart("OpusHead"));
  WriteFile(junk, Text("not audio at all"));
  struct Case {
    std::vector<std::string> inputs;
    std::string highlighted;
    bool raw;
    bool refused;
    TJoinMode mode;
  };
  const Case cases[] = {
      {{mp3a, mp3b}, "", false, false, TJoinMode::jmFrames},
      {{mp3a, mp3b}, mp3a, true, false, TJoinMode::jmRaw},
      {{mp3a, mp3b}, vorbis, false, false, TJoinMode::jmRaw},  // an Ogg file highlighted
      {{vorbis, opus}, mp3a, false, false, TJoinMode::jmRaw},  // Ogg is always a byte copy
      {{mp3a, vorbis}, "", false, true, TJoinMode::jmFrames},
      {{vorbis, mp3a}, "", false, true, TJoinMode::jmFrames},
  };
  for (const Case& c : cases) {
    const TJoinChoice choice = ChooseJoinMode(c.inputs, c.highlighted, c.raw);
    EXPECT_EQ(choice.Refused, c.refused) << c.inputs.front() << " + " << c.inputs.back();
    if (!c.refused) {
      EXPECT_EQ(choice.Mode, c.mode) << c.inputs.front() << " + " << c.inputs.back();
    }
  }
  EXPECT_EQ(ChooseJoinMode({mp3a, vorbis}, "", false).Refusal,
            "Fichiers de formats différents : c.ogg est Ogg Vorbis, a.mp3 est MPEG. Rien n'est "
            "joint.");
  // A file whose content proves nothing, named .mp3, is joined as MPEG: its walk says what is
  // wrong with it.
  EXPECT_FALSE(ChooseJoinMode({mp3a, junk}, "", false).Refused);
}

TEST_F(SourceFormatTest, ARefusedJoinWritesNothing) {
  const std::string mp3 = dir.File("a.mp3");
  const std::string vorbis = dir.File("c.ogg");
  WriteFile(mp3, Frames(kSpec, 5));
  WriteFile(vorbis, OggStart("\x01vorbis"));
  TJoinList rows(2);
  rows[0].Name = "a.mp3";
  rows[0].Folder = dir.Path();
  rows[1].Name = "c.ogg";
  rows[1].Folder = dir.Path();
  struct NoView : IJoinView {
    void RowChanged(int) override {}
  } view;
  const std::string output = dir.File("joined.mp3");
  EXPECT_EQ(JoinSources(rc.Context, rows, view, output, "", false), TJoinOutcome::Refused);
  EXPECT_FALSE(fs::exists(output));
  EXPECT_EQ(Messages().size(), 1u);
}

}  // namespace
}  // namespace zembrio::test
