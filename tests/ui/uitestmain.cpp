// Runs every test class of the window in one headless application; a first argument that
// names a class (as "TestCutGrid") runs that class only, with the remaining arguments.
#include <QApplication>
#include <QTest>

#include "uitestregistry.h"

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString only = argc > 1 && argv[1][0] != '-' ? QString(argv[1]) : QString();
  int failures = 0;
  for (const auto& makeTest : zembrio::test::UiTests()) {
    std::unique_ptr<QObject> test = makeTest();
    const QString name = QString(test->metaObject()->className()).section("::", -1);
    if (only.isEmpty()) {
      failures += QTest::qExec(test.get(), argc, argv);
    } else if (name == only) {
      argv[1] = argv[0];
      failures += QTest::qExec(test.get(), argc - 1, argv + 1);
    }
  }
  return failures == 0 ? 0 : 1;
}
