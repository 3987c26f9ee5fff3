// The tags beside the grid: filled by an import, following the selected row, and typed
// corrections kept in the cut list.
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "cutlist/cutpoint.h"
#include "ui/cutpage.h"
#include "ui/tagpanel.h"
#include "uitesthelpers.h"
#include "uitestregistry.h"

namespace zembrio::test {

class TestTagPanel : public QObject {
  Q_OBJECT

 private slots:
  void importFillsTheFieldsAndEditsGoIntoTheList() {
    TStartedWindow started;
    const std::string cue =
        "PERFORMER \"Groupe\"\nTITLE \"Disque\"\nREM DATE 2001\nTRACK 01 AUDIO\n"
        "  TITLE \"Intro\"\n  INDEX 01 00:00:00\nTRACK 02 AUDIO\n  TITLE \"Deux: fin?\"\n"
        "  PERFORMER \"Invité\"\n  INDEX 01 01:30:00\n";
    WriteFile(started.Dir.File("song.cue"), Bytes(cue.begin(), cue.end()));
    WriteMpegFile(started.Dir.File("song.mp3"), 10);
    started.Start();
    started.SelectFile("song.mp3");
    QListWidget* files = started.Window->Browser()->FileListBox1();
    emit files->itemDoubleClicked(files->currentItem());

    TTagPanel* panel = started.Window->CutPage()->TagPanel();
    QVERIFY(!panel->isVisibleTo(started.Window.get()));
    started.Window->CutPage()->ACTags()->trigger();
    QVERIFY(panel->isVisibleTo(started.Window.get()));
    auto field = [panel](const char* name) { return panel->findChild<QLineEdit*>(name); };
    TCutGrid* grid = started.Window->Grid();
    grid->SelectRow(2);
    QCOMPARE(field("edTagAlbum")->text(), QString("Disque"));
    QCOMPARE(field("edTagAlbumArtist")->text(), QString("Groupe"));
    QCOMPARE(field("edTagDate")->text(), QString("2001"));
    QCOMPARE(field("edTagTitle")->text(), QString("Deux: fin?"));
    QCOMPARE(field("edTagArtist")->text(), QString::fromUtf8("Invité"));

    QTest::keyClicks(field("edTagTitle"), " live");
    QTest::keyClicks(field("edTagGenre"), "Rock");
    const TCPList& list = *started.Window->CutList();
    QCOMPARE(list[1].Title, std::string("Deux: fin? live"));
    QCOMPARE(list[1].Name, std::string("02 Deux- fin-"));  // the name is the grid's
    QCOMPARE(list.Album.Genre, std::string("Rock"));

    grid->SelectRow(1);
    QCOMPARE(field("edTagTitle")->text(), QString("Intro"));
    QCOMPARE(field("edTagArtist")->placeholderText(), QString("Groupe"));
  }
};

static TRegisterUiTest<TestTagPanel> registerTagPanel;

}  // namespace zembrio::test

#include "tagpanel_test.moc"
