// Each test file registers its Qt Test class here; uitestmain.cpp runs them all.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace zembrio::test {

using TUiTestFactory = std::function<std::unique_ptr<QObject>()>;

inline std::vector<TUiTestFactory>& UiTests() {
  static std::vector<TUiTestFactory> tests;
  return tests;
}

template <class T>
struct TRegisterUiTest {
  TRegisterUiTest() {
    UiTests().push_back([] { return std::make_unique<T>(); });
  }
};

}  // namespace zembrio::test
