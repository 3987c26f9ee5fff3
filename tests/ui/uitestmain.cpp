// Runs every test class of the window in one headless application.
#include <QApplication>
#include <QTest>

#include "uitestregistry.h"

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int failures = 0;
  for (const auto& makeTest : zembrio::test::UiTests()) {
    std::unique_ptr<QObject> test = makeTest();
    failures += QTest::qExec(test.get(), argc, argv);
  }
  return failures == 0 ? 0 : 1;
}
