// zembrio: the desktop window.
#include <QApplication>

#include "core/textutil.h"
#include "ui/appwindows.h"
#include "ui/standardtexts.h"

int main(int argc, char* argv[]) {
  // The replacement list exists before any window reads or edits it.
  zembrio::ReplacementList().clear();
  QApplication app(argc, argv);
  QApplication::setApplicationName(zembrio::kApplicationTitle);
  zembrio::InstallStandardTexts(app);
  std::unique_ptr<zembrio::TfrmMain> window = zembrio::CreateApplicationWindows();
  // The desktop entry hands over the file to open ("Ouvrir avec"); other arguments are
  // not read.
  if (const QStringList arguments = QApplication::arguments(); arguments.size() > 1)
    window->OpenFile(arguments.at(1));
  window->show();
  return QApplication::exec();
}
