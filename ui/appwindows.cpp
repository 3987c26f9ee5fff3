#include "ui/appwindows.h"

#include "ui/dialogs/settingsdialog.h"
#include "ui/overwritedialog.h"
#include "ui/statisticsoptions.h"
#include "ui/statisticswindow.h"

namespace zembrio {

std::unique_ptr<TfrmMain> CreateApplicationWindows() {
  auto main = std::make_unique<TfrmMain>();
  TMainWindowDialogs dialogs;
  dialogs.OverwriteWarning = new TfrmOverwriteWarning(main.get());
  dialogs.Settings = new TfrmSettings(main.get());
  dialogs.Statistics = new TfrmStatistics(main.get());
  dialogs.StatistSet = new TfrmStatistSet(main.get());
  main->SetDialogs(dialogs);
  return main;
}

}  // namespace zembrio
