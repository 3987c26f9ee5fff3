// The readers follow the options their caller took from the settings before the import, not
// the settings record as it is while they run (the dialog may change it meanwhile).
#include "core/timevalue.h"
#include "import/cuesheet.h"
#include "import/importer.h"
#include "import/plaintext.h"
#include "import/xmcd.h"
#include "importfixture.h"

namespace zembrio {
namespace {

using test::ImportSample;
using test::ImportTest;

class ImportOptionsTest : public ImportTest {
 protected:
  // Options unlike the record's defaults, and a record unlike both.
  void SetUp() override {
    ImportTest::SetUp();
    options = ImportOptionsFromSettings();
    Settings().MASK = "record %N";
    Settings().ZEROINDEX = true;
    Settings().PLTXTSEP = "#";
    Settings().XMCDSEPTRACK = "#";
    Settings().LISTCODEPAGE = 1251;
  }

  TImportOptions options;
};

TEST_F(ImportOptionsTest, CueSheetsTakeTheMaskAndTheZeroIndexOfTheirOptions) {
  options.Mask = "%N. %T";
  options.ZeroIndex = false;
  ImportCueSheet(list, ImportSample("ripper.cue"), {}, nullptr, {}, options);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(Point(0), "2s10f 01. Ouverture");
}

TEST_F(ImportOptionsTest, PlainTextAndXmcdTakeTheSeparatorsOfTheirOptions) {
  options.NameFirst = true;
  options.PlainTextSeparator = " @ ";
  ReadPlainText(list, {"Intro @ 0:00:00", "Suite @ 1:00:00"}, options);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(Point(1), "60s0f Suite");

  list.Clear();
  options.Mask = "%P+%T";
  options.XmcdTrackSeparator = " | ";
  ReadXmcd(list,
           {"# xmcd", "# Track frame offsets:", "#\t150", "#", "DTITLE=Groupe / Disque",
            "TTITLE0=Invité | Chanson"},
           nullptr, options);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0].Name, "Invité+Chanson");
}

// A list that is not UTF-8 is read in the options' code page through the whole import.
TEST_F(ImportOptionsTest, ImportTrackListReadsInTheCodePageOfItsOptions) {
  const std::string path = dir.File("list.txt");
  test::WriteText(path, "0:00:00/Caf\xE9\n");
  options.CodePage = 1252;
  ImportTrackList(list, feedback, path, tlPlainText, {}, {}, options);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0].Title, "Café");
}

}  // namespace
}  // namespace zembrio
