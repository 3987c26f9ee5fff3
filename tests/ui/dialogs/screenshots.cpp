// Renders the dialogs of the window into PNG files for the README:
//   zembrio_uidialogs_screenshots OUTPUT_FOLDER
// Run under a display server (xvfb-run) so that the pictures use the desktop's style.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>

#include "core/settings.h"
#include "core/textutil.h"
#include "ui/dialogs/aboutbox.h"
#include "ui/dialogs/charreplace.h"
#include "ui/dialogs/pairlisteditor.h"
#include "ui/dialogs/settingsdialog.h"

using namespace zembrio;

namespace {

void Save(QWidget& widget, const QString& path) {
  widget.show();
  for (int i = 0; i < 20; ++i)
    QApplication::processEvents();
  widget.grab().save(path);
  widget.hide();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();

  TPairList pairs;
  ApplyDefaults(pairs);
  TfrmSettings settings;
  settings.ShowSettingsInDialog(true);
  auto* pages = settings.findChild<QTabWidget*>();
  const char* const names[] = {"communs", "analyseur", "specifiques"};
  for (int page = 0; page < pages->count(); ++page) {
    pages->setCurrentIndex(page);
    Save(settings, folder + "/screenshot-settings-" + names[page] + ".png");
  }

  TfrmCharReplace editor;
  editor.leSrc->setText(QStringLiteral("&"));
  editor.leDst->setText(QStringLiteral(" et "));
  Save(editor, folder + "/screenshot-pair-editor.png");

  TfrmAbout about;
  Save(about, folder + "/screenshot-about.png");
  return 0;
}
