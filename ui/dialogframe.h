// The window frame of the program's modal dialogs.
#pragma once

#include <QDialog>

namespace zembrio {

// A modal dialog gets a title and a close button but no minimize button: minimized, it would
// leave the main window waiting on a question the user cannot see. Only a dialog whose
// size the user may change (the report window) keeps its maximize button.
inline void UseModalDialogFrame(QDialog& dialog, bool maximizable = false) {
  Qt::WindowFlags flags =
      Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
  if (maximizable)
    flags |= Qt::WindowMaximizeButtonHint;
  dialog.setWindowFlags(flags);
}

}  // namespace zembrio
