// The file that the desktop hands over or that is dropped onto the window is opened as a
// double click opens it; a click on the file already selected resets like any selection.
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "ui/cutpage.h"
#include "uitesthelpers.h"
#include "uitestregistry.h"

namespace zembrio::test {

namespace {

// An album folder apart from the window's last folder, with a CUE sheet beside the song.
std::string WriteAlbum(TStartedWindow& started) {
  std::filesystem::create_directories(started.Dir.File("album"));
  WriteMpegFile(started.Dir.File("album/song.mp3"), 400);
  const std::string cue =
      "TRACK 01 AUDIO\nTITLE \"Un\"\nINDEX 01 00:00:00\n"
      "TRACK 02 AUDIO\nTITLE \"Deux\"\nINDEX 01 00:05:00\n";
  WriteFile(started.Dir.File("album/song.cue"), Bytes(cue.begin(), cue.end()));
  return started.Dir.File("album/song.mp3");
}

void CheckOpened(TStartedWindow& started) {
  QCOMPARE(started.Window->Browser()->CurrentFolder().toStdString(), started.Dir.File("album/"));
  QCOMPARE(started.Window->Browser()->SelectedFile().toStdString(),
           started.Dir.File("album/song.mp3"));
  QCOMPARE(started.Window->Grid()->CellText(2, 1), QString("02 Deux"));
}

}  // namespace

class TestOpenFile : public QObject {
  Q_OBJECT

 private slots:
  void fileHandedOverAtStartIsOpenedWithItsTrackList() {
    TStartedWindow started;
    const std::string song = WriteAlbum(started);
    const std::string ini = "[STATE]\nLASTDIR=" + started.Dir.Path() + "\n";
    WriteFile(started.Ini, Bytes(ini.begin(), ini.end()));
    started.Window = CreateApplicationWindows();
    started.Window->SetIniPath(started.Ini);
    started.Window->OpenFile(QString::fromStdString(song));  // before the start, as main does
    started.Window->show();
    CheckOpened(started);

    // Anything but a file is passed over.
    started.Window->OpenFile(QString::fromStdString(started.Dir.File("gone.mp3")));
    CheckOpened(started);
  }

  void fileDroppedFromTheFileManagerIsOpened() {
    TStartedWindow started;
    const std::string song = WriteAlbum(started);
    started.Start();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(song))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(started.Window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(started.Window.get(), &drop);
    CheckOpened(started);
  }

  void clickOnTheSelectedFileResetsTheStatuses() {
    TStartedWindow started;
    WriteMpegFile(started.Dir.File("song.mp3"), 40);
    started.Start();
    started.SelectFile("song.mp3");
    started.Window->SetRowStatus(1, "fait");
    started.Window->CutPage()->EditCutDir()->setText("elsewhere");
    auto* files = started.Window->findChild<QListWidget*>("FileListBox1");
    QListWidgetItem* item = files->currentItem();
    QVERIFY(item != nullptr);
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(item).center());
    QCOMPARE(started.Window->Grid()->CellText(1, 3), QString());
    QVERIFY(started.Window->CutPage()->EditCutDir()->text() != "elsewhere");
  }
};

static TRegisterUiTest<TestOpenFile> registerOpenFile;

}  // namespace zembrio::test

#include "openfile_test.moc"
