#include "core/settings.h"

#include <gtest/gtest.h>

#include "core/textutil.h"

namespace zembrio {
namespace {

std::vector<TPair> Decoded(const TPairList& list) {
  std::vector<TPair> pairs;
  for (const std::string& entry : list) {
    pairs.push_back(DecodePair(entry));
  }
  return pairs;
}

TEST(DefaultPairs, AreTheTenPairsInOrder) {
  const std::vector<TPair> pairs = Decoded(DefaultPairs());
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"", "-"},  {"*", "-"},   {"?", "-"}, {"/", "-"}, {"\\", "-"},
      {":", "-"}, {"\"", "''"}, {"|", "-"}, {"<", "("}, {">", ")"}};
  ASSERT_EQ(pairs.size(), expected.size());
  for (size_t i = 0; i < pairs.size(); ++i) {
    EXPECT_EQ(pairs[i].Source, expected[i].first) << i;
    EXPECT_EQ(pairs[i].Replacement, expected[i].second) << i;
  }
  EXPECT_EQ(DefaultPairs().front(), "=2D");
}

TEST(AddDefaultPairs, UpdatesKnownSourcesInPlaceAndAppendsTheRest) {
  TPairList list = {EncodePair({"feat.", "ft."}), EncodePair({"*", "x"})};
  AddDefaultPairs(list);
  ASSERT_EQ(list.size(), 11u);
  EXPECT_EQ(list[0], EncodePair({"feat.", "ft."}));
  EXPECT_EQ(list[1], EncodePair({"*", "-"}));
  const TPairList& defaults = DefaultPairs();
  EXPECT_EQ(list[2], defaults[0]);
  EXPECT_EQ(TPairList(list.begin() + 3, list.end()),
            TPairList(defaults.begin() + 2, defaults.end()));
  // A lower-case hex spelling of a source (a hand-edited file) is the same source.
  TPairList handEdited = {"2a=78"};
  AddDefaultPairs(handEdited);
  EXPECT_EQ(handEdited.size(), 10u);
  EXPECT_EQ(handEdited[0], "2A=2D");
}

TEST(ApplyDefaults, ResetsSettingsButKeepsStateAndACutterPath) {
  TSettings& s = Settings();
  const TSettings saved = s;
  const TPairList savedList = ReplacementList();

  s.MASK = "%T";
  s.ID3V1TAG = 7;
  s.TIME_TYPE = 0;
  s.TIME_H = "";
  s.CUTDIR = "out";
  s.WNDLEFT = 42;
  s.LASTDIR = "/music";
  s.VCUTEXE = "/opt/vcut";
  TPairList working;
  ApplyDefaults(working);
  EXPECT_EQ(s.MASK, "%N %T");
  EXPECT_EQ(s.ID3V1TAG, 1);
  EXPECT_EQ(s.TIME_TYPE, 1);
  EXPECT_EQ(s.TIME_H, "h ");
  EXPECT_EQ(s.CUTDIR, "");
  EXPECT_EQ(s.WNDLEFT, 42);
  EXPECT_EQ(s.LASTDIR, "/music");
  EXPECT_EQ(s.VCUTEXE, "/opt/vcut");
  EXPECT_EQ(ReplacementList(), DefaultPairs());
  EXPECT_EQ(working, DefaultPairs());

  s.VCUTEXE.clear();
  TPairList edited = {EncodePair({"&", "and"})};
  ApplyDefaults(edited);
  EXPECT_FALSE(s.VCUTEXE.empty());
  EXPECT_EQ(ReplacementList().size(), 11u);
  EXPECT_EQ(ReplacementList().front(), EncodePair({"&", "and"}));

  s = saved;
  ReplacementList() = savedList;
}

}  // namespace
}  // namespace zembrio
