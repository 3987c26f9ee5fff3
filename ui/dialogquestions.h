// The questions the engines ask, answered through the window's dialogs.
#pragma once

#include "cut/runfeedback.h"

class QWidget;

namespace zembrio {

class TfrmOverwriteWarning;

class TDialogQuestions : public IRunQuestions {
 public:
  TDialogQuestions(QWidget* parent, TfrmOverwriteWarning*& overwriteWarning)
      : parent_(parent), overwriteWarning_(overwriteWarning) {}

  TOverwriteAnswer AskOverwrite(const std::string& message,
                                const std::string& proposedName) override;
  bool AskYesNo(const std::string& text) override;
  std::optional<std::string> AskSaveFileName(const std::string& folder,
                                             const std::string& proposedName) override;

 private:
  QWidget* parent_;
  TfrmOverwriteWarning*& overwriteWarning_;
};

}  // namespace zembrio
