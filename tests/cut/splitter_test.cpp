#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cut/oggcut.h"
#include "cut/overwrite.h"
#include "mpegrunfixture.h"

namespace zembrio::test {
namespace {

namespace fs = std::filesystem;

using SplitterTest = MpegRunTest;

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

bool EndsWithTag(const Bytes& fragment, const Bytes& tag) {
  return fragment.size() >= tag.size() && std::equal(tag.begin(), tag.end(), fragment.end() - 128);
}

TEST_F(SplitterTest, CleanCutCopiesWholeFramesAndReportsEachFragment) {
  WriteFile(source, Frames(kSpec, 100));
  AddPoint(0, 0, "a");
  AddPoint(1, 0, "b");

  EXPECT_EQ(Cut(), RunEndOfData);

  const Bytes a = Output("a");
  const Bytes b = Output("b");
  EXPECT_EQ(FrameCountOf(a), 38);
  EXPECT_EQ(FirstFrameIndex(b), 38);
  Bytes joined = a;
  Append(joined, b);
  EXPECT_EQ(joined, ReadFile(source));

  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(rc.Feedback.RowStatus, (std::map<int, std::string>{{1, "fait"}, {2, "fait"}}));
  EXPECT_EQ(list[1].Report,
            (std::vector<std::string>{
                " Nom fich: " + OutputPath("b"), " début demandé:    " + FormatCutPoint(list[1]),
                " début réel:  " + FormatPosition(44100, 38 * 1152), " fait"}));
  EXPECT_EQ(rc.Feedback.Reports.size(), 1u);
}

TEST_F(SplitterTest, AdjustStartChoosesTheStartingFrame) {
  // 1.000 s = sample 44100 lies inside frame 38 (43776..44928, middle 44352);
  // 1.280 s = sample 56448 is exactly the boundary between frames 48 and 49.
  struct Case {
    int adjust;
    int ms;
    int expectedFirstFrame;
  };
  // Without a header frame to carry the trim, "exacte" (3) cuts as the nearest frame does.
  const Case cases[] = {{0, 0, 38},   {1, 0, 38},   {2, 0, 39},   {3, 0, 38},
                        {0, 280, 48}, {1, 280, 49}, {2, 280, 49}, {3, 280, 49}};
  WriteFile(source, Frames(kSpec, 100));
  for (const Case& c : cases) {
    SCOPED_TRACE("ADJUSTSTART " + std::to_string(c.adjust) + ", ms " + std::to_string(c.ms));
    Settings().ADJUSTSTART = c.adjust;
    list.Clear();
    AddPoint(0, 0, "a");
    AddPoint(1, c.ms, "b");
    ASSERT_EQ(Cut(), RunEndOfData);
    ASSERT_TRUE(Messages().empty());  // no overwrite question either: OverwriteAll is not set
    EXPECT_EQ(FirstFrameIndex(Output("b")), c.expectedFirstFrame);
    EXPECT_EQ(FrameCountOf(Output("a")), c.expectedFirstFrame);
    fs::remove_all(outDir);
  }
}

// Cut points that choose the same frame: all but the last of them last nothing. They are
// not written, their rows read "vide", and the next fragment starts where it would without
// them. A point at the very end is empty too; one past it is out of reach and said so.
TEST_F(SplitterTest, EmptyFragmentsAreNotWrittenInEveryMode) {
  WriteFile(source, Frames(kSpec, 49));  // 1.280 s exactly
  for (const int adjust : {0, 1, 2, 3}) {
    SCOPED_TRACE("ADJUSTSTART " + std::to_string(adjust));
    Settings().ADJUSTSTART = adjust;
    list.Clear();
    fs::remove_all(outDir);
    rc.Feedback.Messages.clear();
    rc.Feedback.RowStatus.clear();
    AddPoint(0, 0, "a");
    AddPoint(1, 0, "b");  // samples 44100 and 44320, both in frame 38 (43776..44928)
    AddPoint(1, 5, "c");
    AddPoint(1, 280, "end");
    AddPoint(10, 0, "far");

    ASSERT_EQ(Cut(), RunEndOfData);

    const int first = adjust == 2 ? 39 : 38;
    EXPECT_FALSE(fs::exists(OutputPath("b")));
    EXPECT_EQ(FrameCountOf(Output("a")), first);
    EXPECT_EQ(FirstFrameIndex(Output("c")), first);
    EXPECT_EQ(FrameCountOf(Output("c")), 49 - first);
    EXPECT_FALSE(fs::exists(OutputPath("end")));
    EXPECT_EQ(rc.Feedback.RowStatus,
              (std::map<int, std::string>{{1, "fait"}, {2, "vide"}, {3, "fait"}, {4, "vide"}}));
    ASSERT_FALSE(list[1].Report.empty());
    EXPECT_EQ(list[1].Report.front(), kEmptyFragmentLine);
    EXPECT_TRUE(Contains(list[1].Report, " début demandé:    " + FormatCutPoint(list[1])));
    EXPECT_EQ(list[3].Report, std::vector<std::string>{kEmptyFragmentLine});
    EXPECT_EQ(list[4].Report, std::vector<std::string>{"  non atteint"});
    EXPECT_EQ(Messages(), std::vector<std::string>{
                              "Point de coupe au-delà de la fin de la source, non atteint : far (" +
                              FormatCutPoint(list[4]) + ")"});
    EXPECT_TRUE(Contains(Report(), kEmptyFragmentLine));
  }
}

TEST_F(SplitterTest, UnnamedPointsPassOverTheirStretch) {
  WriteFile(source, Frames(kSpec, 100));
  AddPoint(0, 0, "");
  AddPoint(1, 0, "b");
  AddPoint(2, 0, "");

  EXPECT_EQ(Cut(), RunEndOfData);

  EXPECT_EQ(fs::directory_iterator(outDir)->path().filename(), "b.mp3");
  EXPECT_EQ(std::distance(fs::directory_iterator(outDir), fs::directory_iterator()), 1);
  const Bytes b = Output("b");
  EXPECT_EQ(FirstFrameIndex(b), 38);
  EXPECT_EQ(FrameCountOf(b), 77 - 38);  // 2 s = sample 88200, in frame 76
  EXPECT_EQ(rc.Feedback.RowStatus,
            (std::map<int, std::string>{{1, "sauté"}, {2, "fait"}, {3, "sauté"}}));
  EXPECT_EQ(rc.Feedback.StatusHistory.front(), "1:sauter ....");
  EXPECT_EQ(list[0].Report,
            (std::vector<std::string>{" début demandé:    " + FormatCutPoint(list[0]),
                                      " début réel:  " + FormatPosition(44100, 0), " sauté"}));
}

TEST_F(SplitterTest, Id3v1TagFollowsTheSetting) {
  const Bytes tag = Id3v1Tag("Song");
  Bytes bytes = Frames(kSpec, 100);
  Append(bytes, tag);
  WriteFile(source, bytes);
  struct Case {
    int rule;
    bool lastNamed;
    bool tagInA;
    bool tagInB;
  };
  const Case cases[] = {{0, true, false, false},
                        {1, true, false, true},
                        {1, false, false, false},
                        {2, true, true, true},
                        {2, false, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE("ID3V1TAG " + std::to_string(c.rule) + (c.lastNamed ? " named" : " unnamed"));
    Settings().ID3V1TAG = c.rule;
    list.Clear();
    AddPoint(0, 0, "a");
    AddPoint(1, 0, c.lastNamed ? "b" : "");
    ASSERT_EQ(Cut(), RunEndOfData);
    const Bytes a = Output("a");
    EXPECT_EQ(EndsWithTag(a, tag), c.tagInA);
    EXPECT_EQ(a.size(), 38u * 417 + (c.tagInA ? 128 : 0));
    if (c.lastNamed) {
      const Bytes b = Output("b");
      EXPECT_EQ(EndsWithTag(b, tag), c.tagInB);
      EXPECT_EQ(b.size(), 62u * 417 + (c.tagInB ? 128 : 0));
    }
    fs::remove_all(outDir);
  }
}

// A lame file that a ReplayGain tool tagged: the APE tag is no frame error and lies in
// no fragment; an ID3v1 tag after it goes to the last fragment as the setting says.
TEST_F(SplitterTest, ApeTaggedLameFileCutsCleanly) {
  const Bytes lame = ReadFile(std::string(ZEMBRIO_TEST_DATA_DIR) + "/cbr128_44k.mp3");
  const Bytes ape = ApeTag({{"REPLAYGAIN_TRACK_GAIN", "-6.54 dB"}, {"MP3GAIN_MINMAX", "092,21"}});
  const Bytes id3v1 = Id3v1Tag("Racines");
  Settings().SKIPVBRHEADER = false;  // every frame of the source is then in a fragment
  for (const bool withId3v1 : {false, true}) {
    SCOPED_TRACE(withId3v1 ? "APE, ID3v1" : "APE");
    Bytes bytes = lame;
    Append(bytes, ape);
    if (withId3v1)
      Append(bytes, id3v1);
    WriteFile(source, bytes);
    list.Clear();
    AddPoint(0, 0, "a");
    AddPoint(1, 0, "b");
    ASSERT_EQ(Cut(), RunEndOfData);
    EXPECT_TRUE(Messages().empty());
    Bytes joined = Output("a");
    Append(joined, Output("b"));
    Bytes expected = lame;
    if (withId3v1)
      Append(expected, id3v1);
    EXPECT_EQ(joined.size(), expected.size());
    EXPECT_TRUE(joined == expected);
    fs::remove_all(outDir);
  }
}

TEST_F(SplitterTest, GarbageInsideAFragmentIsLeftOutAndReportedOnce) {
  WriteSourceWithGarbage(10, 100, 10);
  AddPoint(0, 0, "a");
  AddPoint(10, 0, "");

  EXPECT_EQ(Cut(), RunEndOfData);

  EXPECT_EQ(Output("a").size(), 20u * 417);
  EXPECT_TRUE(
      Contains(list[0].Report, "   Entête non trouvé dans la source à : 4170  100 octets sautés"));
  EXPECT_EQ(list[0].Report.back(), " fait");
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"Terminé, mais avec  1 err. frames.  100 octets sautés."}));
}

TEST_F(SplitterTest, GarbageBeforeTheFirstPointIsCountedButNotReportedInACut) {
  WriteSourceWithGarbage(10, 50, 90);
  AddPoint(1, 0, "a");
  AddPoint(10, 0, "");

  EXPECT_EQ(Cut(), RunEndOfData);

  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"Terminé, mais avec  1 err. frames.  50 octets sautés."}));
  for (const std::string& line : Report())
    EXPECT_EQ(line.find("Entête non trouvé"), std::string::npos);
  // The stretch before the first point is written nowhere.
  EXPECT_EQ(FrameCountOf(Output("a")), 100 - 38);
}

TEST_F(SplitterTest, FirstFrameFarIntoTheFileIsFoundByTheWalk) {
  WriteSourceWithGarbage(0, 60000, 20);
  AddPoint(0, 0, "a");
  AddPoint(10, 0, "");

  EXPECT_EQ(Cut(), RunEndOfData);

  EXPECT_EQ(Output("a"), Frames(kSpec, 20));
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"Terminé, mais avec  1 err. frames.  59996 octets sautés."}));
}

TEST_F(SplitterTest, TrailingGarbageIsOneEpisodeCountingTheBytesPassedOver) {
  WriteSourceWithGarbage(10, 30, 0);
  AddPoint(0, 0, "a");
  AddPoint(10, 0, "b");

  EXPECT_EQ(Cut(), RunEndOfData);
  EXPECT_TRUE(
      Contains(list[0].Report, "   Entête non trouvé dans la source à : 4170  27 octets sautés"));
  EXPECT_EQ(Output("a"), Frames(kSpec, 10));
}

TEST_F(SplitterTest, AbortWhileWritingKeepsWhatWasWritten) {
  const Bytes tag = Id3v1Tag();
  Bytes bytes = Frames(kSpec, 200);
  Append(bytes, tag);
  WriteFile(source, bytes);
  AddPoint(0, 0, "a");
  AddPoint(1, 0, "b");
  AddPoint(4, 0, "c");
  // Every refresh is due, and the abort comes with the first refresh of the walk after "b"
  // began (the one as it opens is the row's own).
  int refreshesInB = 0;
  rc.Feedback.OnEvents = [&] {
    rc.State.LastProgressUpdate = TClock::time_point{};
    if (rc.Feedback.RowStatus[2] == "écriture.." && ++refreshesInB == 2) {
      rc.State.AbortRequested = true;
    }
  };

  EXPECT_EQ(Cut(), RunAborted);

  // Whole frames up to the abort, fewer than the 115 of its stretch, then the tag.
  const size_t frames = (Output("b").size() - 128) / 417;
  EXPECT_EQ(Output("b").size(), frames * 417 + 128);
  EXPECT_GE(frames, 1u);
  EXPECT_LT(frames, 115u);
  EXPECT_TRUE(EndsWithTag(Output("b"), tag));
  EXPECT_EQ(rc.Feedback.RowStatus[2], "écriture..");
  EXPECT_FALSE(fs::exists(OutputPath("c")));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"  Abandon ."}));
  EXPECT_TRUE(rc.Feedback.Reports.empty());
  EXPECT_EQ(rc.Feedback.IdleChanges, (std::vector<bool>{false, true}));
}

TEST_F(SplitterTest, ExistingOutputFollowsTheAnswer) {
  WriteFile(source, Frames(kSpec, 100));
  fs::create_directories(outDir);
  const Bytes old = Garbage(10, 'x');
  WriteFile(OutputPath("a"), old);
  WriteFile(OutputPath("b"), old);
  AddPoint(0, 0, "a");
  AddPoint(1, 0, "b");

  SCOPED_TRACE("save as another name, then stop");
  const std::string other = dir.File("other.mp3");
  rc.Questions.OverwriteAnswers = {{TOverwriteChoice::SaveAs, other}, {TOverwriteChoice::Stop, ""}};
  EXPECT_EQ(Cut(), RunAborted);
  EXPECT_EQ(rc.Questions.OverwriteMessages,
            (std::vector<std::string>{"Fich \"" + OutputPath("a") + "\" existe!",
                                      "Fich \"" + OutputPath("b") + "\" existe!"}));
  EXPECT_EQ(FrameCountOf(ReadFile(other)), 38);
  EXPECT_EQ(list[0].Report.front(), " Nom fich: " + other);
  EXPECT_EQ(Output("a"), old);
  EXPECT_EQ(Output("b"), old);
  EXPECT_EQ(list[1].Report.back(), " **   abandon  **");
  EXPECT_EQ(rc.Feedback.RowStatus[2], "**    abandon **");
  EXPECT_EQ(Messages().back(), "  Abandon .");

  SCOPED_TRACE("overwrite all: one question per run");
  rc.Questions.OverwriteMessages.clear();
  rc.Questions.OverwriteAnswers = {{TOverwriteChoice::OverwriteAll, ""}};
  EXPECT_EQ(Cut(), RunEndOfData);
  EXPECT_EQ(rc.Questions.OverwriteMessages.size(), 1u);
  EXPECT_EQ(FrameCountOf(Output("a")), 38);
  EXPECT_EQ(FrameCountOf(Output("b")), 62);

  SCOPED_TRACE("the next run asks again");
  rc.Questions.OverwriteAnswers = {{TOverwriteChoice::Overwrite, ""},
                                   {TOverwriteChoice::Overwrite, ""}};
  EXPECT_EQ(Cut(), RunEndOfData);
  EXPECT_EQ(rc.Questions.OverwriteMessages.size(), 3u);
}

TEST_F(SplitterTest, SourceIsNeverAnOutputEvenSpelledAnotherWay) {
  const Bytes original = Frames(kSpec, 50);
  WriteFile(source, original);
  fs::create_directories(dir.File("sub"));
  outDir = dir.File("sub/..");
  AddPoint(0, 0, "song");
  AddPoint(1, 0, "");

  EXPECT_EQ(Cut(), RunFailed);

  EXPECT_EQ(Messages(), (std::vector<std::string>{kSourceNotOverwritable, "Opération avortée."}));
  EXPECT_EQ(rc.Feedback.RowStatus[1], "! erreur!");
  EXPECT_EQ(ReadFile(source), original);
}

TEST_F(SplitterTest, UnwritableDestinationFailsTheRun) {
  WriteFile(source, Frames(kSpec, 50));
  WriteFile(dir.File("plain"), Garbage(4));
  outDir = dir.File("plain/out");  // a folder inside a regular file cannot exist
  AddPoint(0, 0, "a");
  AddPoint(1, 0, "b");

  EXPECT_EQ(Cut(), RunFailed);

  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_NE(Messages()[0].find("Not a directory"), std::string::npos) << Messages()[0];
  EXPECT_EQ(Messages()[1], "Opération avortée.");
  EXPECT_EQ(rc.Feedback.RowStatus, (std::map<int, std::string>{{1, "! erreur!"}}));
  EXPECT_EQ(list[0].Report.back(), " ** erreur**");
  EXPECT_TRUE(rc.Feedback.Reports.empty());
}

TEST_F(SplitterTest, FullDiskIsAnErrorNeverDone) {
  WriteFile(source, Frames(kSpec, 100));
  for (const bool lastFragment : {true, false}) {
    SCOPED_TRACE(lastFragment ? "last fragment" : "first of two fragments");
    fs::remove_all(outDir);
    fs::create_directories(outDir);
    fs::create_symlink("/dev/full", OutputPath("a"));
    rc.Feedback.Messages.clear();
    rc.Feedback.RowStatus.clear();
    list.Clear();
    AddPoint(0, 0, "a");
    if (lastFragment) {
      AddPoint(10, 0, "");  // never reached: "a" is still open when the walk ends
    } else {
      AddPoint(1, 0, "b");  // "a" is closed when "b" starts
    }
    rc.Questions.OverwriteAnswers = {{TOverwriteChoice::Overwrite, ""}};

    EXPECT_EQ(Cut(), RunFailed);

    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_NE(Messages()[0].find("No space left on device"), std::string::npos) << Messages()[0];
    EXPECT_EQ(Messages()[1], "Opération avortée.");
    EXPECT_FALSE(Contains(list[0].Report, " fait"));
    EXPECT_EQ(rc.Feedback.RowStatus[1], "! erreur!");
    EXPECT_FALSE(fs::exists(OutputPath("b")));
    EXPECT_TRUE(rc.Feedback.Reports.empty());
  }
}

TEST_F(SplitterTest, MissingSourceChangesNoRow) {
  AddPoint(0, 0, "a");
  AddPoint(1, 0, "b");

  EXPECT_EQ(Cut(), RunFailed);

  EXPECT_EQ(Messages(), (std::vector<std::string>{"Source invalide.", "Opération avortée."}));
  EXPECT_TRUE(rc.Feedback.RowStatus.empty());
  EXPECT_EQ(list[0].Report, (std::vector<std::string>{"  non atteint"}));
  EXPECT_EQ(rc.Feedback.IdleChanges, (std::vector<bool>{false, true}));
  EXPECT_EQ(rc.Feedback.ReadyCount, 1);
  EXPECT_FALSE(rc.Feedback.WaitCursor);
}

}  // namespace
}  // namespace zembrio::test
