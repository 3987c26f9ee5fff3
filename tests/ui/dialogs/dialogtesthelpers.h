// Helpers of the dialog tests: answering a modal window from inside its event loop.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace zembrio::test {

// Waits (polling the event loop) until a modal window of type T is active, then hands it
// to act, closing it afterwards if act left it open. Used before the call that opens the window
// with exec().
template <typename T>
void WhenModal(std::function<void(T*)> act) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
    if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(window);
      // A check that failed inside act returned early: close the window so that the
      // test goes on instead of waiting forever.
      if (window->isVisible())
        window->close();
    }
  });
  timer->start();
}

// Closes the next message box and remembers its text in *text.
inline void AcceptNextMessage(QString* text) {
  WhenModal<QMessageBox>([text](QMessageBox* box) {
    if (text != nullptr)
      *text = box->text();
    box->accept();
  });
}

}  // namespace zembrio::test
