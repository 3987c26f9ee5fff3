#include "ui/standardtexts.h"

#include <QLibraryInfo>
#include <QLocale>
#include <memory>

namespace zembrio {

QTranslator* InstallStandardTexts(QCoreApplication& app) {
  auto translator = std::make_unique<QTranslator>(&app);
  // The window is French whatever the desktop's language: ask for French, not the locale.
  if (!translator->load(QLocale(QLocale::French, QLocale::France), "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator.get())) {
    return nullptr;
  }
  return translator.release();  // owned by app from here on
}

}  // namespace zembrio
