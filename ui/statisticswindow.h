// "Info...": the text window that shows the report of a statistics or cut run and the log
// of an Ogg cut.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QPlainTextEdit;
class QPushButton;

namespace zembrio {

class TfrmStatistics : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmStatistics(QWidget* parent = nullptr);

  void ClearText();
  // A text holding line breaks becomes several lines.
  void AddLogLine(const std::string& text);
  void SetLines(const std::vector<std::string>& lines);
  QString Text() const;
  QPlainTextEdit* Memo1() const { return memo_; }

 private:
  QPlainTextEdit* memo_;
  QPushButton* btnClose_;
};

}  // namespace zembrio
