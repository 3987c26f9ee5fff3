// The replacement pair editor: StorePair's in-place rules driven through the real pair
// editor window, the cleaning of replacements, deletion and "Standard".
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "core/settings.h"
#include "core/textutil.h"
#include "tests/ui/dialogs/dialogtesthelpers.h"
#include "ui/dialogs/charreplace.h"
#include "ui/dialogs/pairlisteditor.h"

using namespace zembrio;

namespace {

std::string Pair(const std::string& source, const std::string& replacement) {
  return EncodePair({source, replacement});
}

// Answers the next pair editor with the given texts, pressing OK or Annuler.
void AnswerEditor(const QString& source, const QString& replacement, bool ok = true) {
  test::WhenModal<TfrmCharReplace>([=](TfrmCharReplace* editor) {
    editor->leSrc->setText(source);
    editor->leDst->setText(replacement);
    (ok ? editor->OKBtn : editor->CancelBtn)->click();
  });
}

}  // namespace

class PairEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void addingAnExistingSourceChangesThatEntryInPlace() {
    TPairListEditor editor;
    editor.SetPairs({Pair("a", "1"), Pair("b", "2")});
    AnswerEditor("b", "3");
    editor.acRCAdd->trigger();
    QCOMPARE(editor.Pairs(), (TPairList{Pair("a", "1"), Pair("b", "3")}));

    AnswerEditor("A", "4");  // another source: case matters
    editor.acRCAdd->trigger();
    QCOMPARE(editor.Pairs().size(), size_t(3));
    QCOMPARE(editor.Pairs().back(), Pair("A", "4"));
  }

  void editingOntoAnotherSourceUpdatesThatOneAndKeepsTheEdited() {
    TPairListEditor editor;
    editor.SetPairs({Pair("a", "1"), Pair("b", "2")});
    editor.SelectIndex(0);
    QString shownSource, shownReplacement;
    test::WhenModal<TfrmCharReplace>([&](TfrmCharReplace* dialog) {
      shownSource = dialog->leSrc->text();
      shownReplacement = dialog->leDst->text();
      dialog->leSrc->setText("b");
      dialog->leDst->setText("9");
      dialog->OKBtn->click();
    });
    editor.acRCEdit->trigger();
    QCOMPARE(shownSource, QString("a"));
    QCOMPARE(shownReplacement, QString("1"));
    QCOMPARE(editor.Pairs(), (TPairList{Pair("a", "1"), Pair("b", "9")}));
    QCOMPARE(editor.SelectedIndex(), 0);

    AnswerEditor("new", "x");  // a source nobody has: the edited row takes it
    editor.acRCEdit->trigger();
    QCOMPARE(editor.Pairs(), (TPairList{Pair("new", "x"), Pair("b", "9")}));
  }

  void cancelAndDoubleClickWithoutSelectionChangeNothing() {
    TPairListEditor editor;
    editor.SetPairs({Pair("a", "1")});
    AnswerEditor("z", "z", false);
    editor.acRCAdd->trigger();
    editor.EditPair(false);  // no selection: no editor opens
    QCOMPARE(editor.Pairs(), (TPairList{Pair("a", "1")}));
  }

  void emptySourceCanBeConfirmedAtOnce() {
    TPairListEditor editor;
    editor.SetPairs({Pair("a", "1")});
    bool okEnabled = false;
    test::WhenModal<TfrmCharReplace>([&](TfrmCharReplace* dialog) {
      okEnabled = dialog->OKBtn->isEnabled();
      dialog->OKBtn->click();
    });
    editor.acRCAdd->trigger();
    QVERIFY(okEnabled);
    QCOMPARE(editor.Pairs().back(), Pair("", ""));
  }

  void forbiddenCharactersLeaveTheReplacementWithAMessage() {
    TPairListEditor editor;
    editor.SetPairs({});
    QString message;
    AnswerEditor("a/b", "a/b:c");
    test::AcceptNextMessage(&message);
    editor.acRCAdd->trigger();
    QCOMPARE(message, QString("Not allowed character(s) found and removed."));
    QCOMPARE(editor.Pairs(), (TPairList{Pair("a/b", "abc")}));
  }

  void deletingSelectsTheNextOrTheLastRow() {
    TPairListEditor editor;
    editor.SetPairs({Pair("a", "1"), Pair("b", "2"), Pair("c", "3")});
    QVERIFY(!editor.acRCEdit->isEnabled());
    editor.List()->setCurrentRow(2);
    QVERIFY(editor.acRCDelete->isEnabled());
    editor.acRCDelete->trigger();
    QCOMPARE(editor.SelectedIndex(), 1);
    editor.SelectIndex(0);
    editor.acRCDelete->trigger();
    QCOMPARE(editor.SelectedIndex(), 0);
    QCOMPARE(editor.Pairs(), (TPairList{Pair("b", "2")}));
    editor.acRCDelete->trigger();
    QCOMPARE(editor.SelectedIndex(), -1);
    QVERIFY(editor.Pairs().empty());
    QVERIFY(!editor.acRCEdit->isEnabled());
    QVERIFY(!editor.acRCDelete->isEnabled());
  }

  void standardRestoresDefaultsAndKeepsUserPairs() {
    const TPairList& defaults = DefaultPairs();
    const std::string star = Pair("*", "x");
    const std::string user = Pair("é", "e");
    TPairListEditor editor;
    editor.SetPairs({star, user});
    editor.acRCDefault->trigger();
    const TPairList& pairs = editor.Pairs();
    QCOMPARE(DecodePair(pairs[0]).Source, std::string("*"));
    QVERIFY(DecodePair(pairs[0]).Replacement != "x");
    QCOMPARE(pairs[1], user);
    for (const std::string& entry : defaults)
      QVERIFY(std::count(pairs.begin(), pairs.end(), entry) == 1 ||
              DecodePair(entry).Source == "é");
  }
};

QTEST_MAIN(PairEditorTest)
#include "pairs_test.moc"
