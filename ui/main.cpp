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
  window->show();
  return QApplication::exec();
}
