// The standard dialogs and buttons speak French through the translation that the
// application installs at start.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "ui/standardtexts.h"
#include "uitestregistry.h"

namespace zembrio::test {

class TestStandardTexts : public QObject {
  Q_OBJECT

 private slots:
  void standardDialogsAndButtonsAreFrench() {
    std::unique_ptr<QTranslator> translator(InstallStandardTexts(*QCoreApplication::instance()));
    QVERIFY2(translator != nullptr, "qt6-translations-l10n is not installed");

    QMessageBox box(QMessageBox::Question, "Zembrio", "?", QMessageBox::Yes | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("Annuler"));
    QCOMPARE(box.button(QMessageBox::Yes)->text(), QString("&Oui"));

    QFileDialog dialog(nullptr, "Zembrio");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
      labels << label->text();
    QVERIFY2(labels.contains(QCoreApplication::translate("QFileDialog", "File &name:")),
             qPrintable(labels.join('|')));
    QVERIFY(!labels.contains("File &name:"));
    QCOMPARE(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text(),
             QString("Annuler"));

    QCoreApplication::removeTranslator(translator.get());
  }
};

static TRegisterUiTest<TestStandardTexts> registerStandardTexts;

}  // namespace zembrio::test

#include "standardtexts_test.moc"
