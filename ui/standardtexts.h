// Qt's own French texts for the standard dialogs and buttons ("Enregistrer sous",
// "Annuler" ...), so that they speak the window's language.
#pragma once

#include <QCoreApplication>
#include <QTranslator>

namespace zembrio {

// Loads and installs Qt's French translation (qtbase_fr, from Debian's
// qt6-translations-l10n); the application owns it. nullptr when it is not installed: the
// standard dialogs then stay in English.
QTranslator* InstallStandardTexts(QCoreApplication& app);

}  // namespace zembrio
