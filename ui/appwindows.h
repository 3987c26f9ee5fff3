// The windows that live from start to exit, created in their fixed order: the main window,
// then "Avertissement", "Réglages", "Info..." and "Statistiques", all owned by the main
// window.
#pragma once

#include <memory>

#include "ui/mainwindow.h"

namespace zembrio {

std::unique_ptr<TfrmMain> CreateApplicationWindows();

}  // namespace zembrio
