// Helpers for driving the real window headless: a started window on a temporary folder,
// a script that answers modal dialogs as they open, and typing into the grid's editor.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QObject>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "framebuilder.h"
#include "ui/appwindows.h"
#include "ui/cutgrid.h"
#include "ui/filebrowser.h"
#include "ui/wavestrip.h"

namespace zembrio::test {

// A window started on a folder of its own, with its own settings file.
struct TStartedWindow {
  TempDir Dir;
  std::string Ini = Dir.File("zembrio.ini");
  std::unique_ptr<TfrmMain> Window;

  // iniState: lines of the STATE section (LASTDIR defaults to the temporary folder).
  void Start(const std::string& iniState = "", const std::string& iniSettings = "") {
    std::string text = "[STATE]\n";
    if (iniState.find("LASTDIR=") == std::string::npos)
      text += "LASTDIR=" + Dir.Path() + "\n";
    text += iniState + "[SETTINGS]\n" + iniSettings;
    WriteFile(Ini, Bytes(text.begin(), text.end()));
    StartWithoutWritingIni();
  }
  void StartWithoutWritingIni() {
    Window = CreateApplicationWindows();
    Window->SetIniPath(Ini);
    Window->SetShiftTest([] { return false; });
    Window->show();
  }
  void SelectFile(const std::string& name) {
    Window->Browser()->SetFolder(QString::fromStdString(Dir.Path()));
    Window->Browser()->SelectFile(QString::fromStdString(name));
  }
  QAction* Action(const char* name) const { return Window->findChild<QAction*>(name); }
};

// An MPEG-1 Layer III file of count frames at 128 kbit/s, 44100 Hz (26 ms each).
inline void WriteMpegFile(const std::string& path, int count) {
  WriteFile(path, Frames(FrameSpec{}, count));
}

// Answers modal dialogs in order as they open. A message box that no step expects is
// recorded and closed with its first button; any other unexpected dialog is rejected.
class TModalScript : public QObject {
 public:
  using TStep = std::function<bool(QWidget*)>;  // true: handled this dialog

  TModalScript() {
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start(5);
  }
  void Then(TStep step) { steps_.push_back(std::move(step)); }
  bool Done() const { return steps_.empty(); }

  QStringList Messages;
  QStringList Unexpected;

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || busy_)
      return;
    busy_ = true;
    if (!steps_.empty() && steps_.front()(modal)) {
      steps_.pop_front();
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      Messages << box->text();
      box->buttons().constFirst()->click();
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      Unexpected << modal->metaObject()->className();
      dialog->reject();
    }
    busy_ = false;
  }

  QTimer timer_;
  std::deque<TStep> steps_;
  bool busy_ = false;
};

// A step for dialogs of class T: runs act on it.
template <class T>
TModalScript::TStep On(std::function<void(T*)> act) {
  return [act](QWidget* widget) {
    T* dialog = qobject_cast<T*>(widget);
    if (!dialog)
      return false;
    act(dialog);
    return true;
  };
}

enum class TEntry { Typed, Pasted };

// Types (key by key) or pastes (in one change) text into a grid cell through its editor and
// ends the edit with endKey.
inline void TypeIntoCell(TCutGrid* grid, int row, int column, const QString& text,
                         Qt::Key endKey = Qt::Key_Return, TEntry entry = TEntry::Typed) {
  grid->setCurrentCell(row - 1, column);
  grid->editItem(grid->item(row - 1, column));
  QLineEdit* editor = nullptr;
  for (QLineEdit* candidate : grid->viewport()->findChildren<QLineEdit*>()) {
    if (candidate->isVisible())
      editor = candidate;
  }
  if (!editor)
    return;
  editor->selectAll();
  if (entry == TEntry::Typed)
    QTest::keyClicks(editor, text);
  else
    editor->insert(text);
  QTest::keyClick(editor, endKey);
  QCoreApplication::processEvents();  // the editor commits and closes through the queue
}

// A live recording in short: 4 s loud, a 2 s pause, 4 s loud, at 10 ms steps.
inline TStripLevels LevelsWithPause() {
  TStripLevels levels;
  levels.StepMs = 10;
  levels.DurationMs = 10000;
  for (int step = 0; step < 1000; ++step)
    levels.PeakDb.push_back(step >= 400 && step < 600 ? -90.0f : -3.0f);
  return levels;
}

}  // namespace zembrio::test
