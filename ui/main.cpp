// zembrio: the desktop window. Command-line arguments are not read.
#include <QApplication>

#include "core/textutil.h"
#include "ui/appwindows.h"

int main(int argc, char* argv[]) {
  // The replacement list exists before any window reads or edits it.
  zembrio::ReplacementList().clear();
  QApplication app(argc, argv);
  QApplication::setApplicationName(zembrio::kApplicationTitle);
  std::unique_ptr<zembrio::TfrmMain> window = zembrio::CreateApplicationWindows();
  window->show();
  return QApplication::exec();
}
