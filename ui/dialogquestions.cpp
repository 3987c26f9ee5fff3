#include "ui/dialogquestions.h"

#include <QFileDialog>
#include <QMessageBox>

#include "core/platform.h"
#include "ui/overwritedialog.h"
#include "ui/qtext.h"

namespace zembrio {

TOverwriteAnswer TDialogQuestions::AskOverwrite(const std::string& message,
                                                const std::string& proposedName) {
  if (!overwriteWarning_)
    return {TOverwriteChoice::Stop, proposedName};
  return overwriteWarning_->Ask(ToQ(message), ToQ(proposedName));
}

bool TDialogQuestions::AskYesNo(const std::string& text) {
  QMessageBox box(QMessageBox::Question, kApplicationTitle, ToQ(text),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> TDialogQuestions::AskSaveFileName(const std::string& folder,
                                                             const std::string& proposedName) {
  const std::string initial =
      IsAbsolutePath(proposedName) ? proposedName : WithTrailingDelimiter(folder) + proposedName;
  QFileDialog dialog(parent_, kApplicationTitle, ToQ(folder));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.selectFile(ToQ(initial));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  return ToStd(dialog.selectedFiles().constFirst());
}

}  // namespace zembrio
