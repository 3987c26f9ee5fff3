// Keeps a test's changes to the process-wide settings record and replacement list from
// leaking into the next test: both are restored when the guard goes.
#pragma once

#include "core/settings.h"
#include "core/textutil.h"

namespace zembrio::test {

class SettingsGuard {
 public:
  SettingsGuard() : settings_(Settings()), pairs_(ReplacementList()) {}
  ~SettingsGuard() {
    Settings() = settings_;
    ReplacementList() = pairs_;
  }
  SettingsGuard(const SettingsGuard&) = delete;
  SettingsGuard& operator=(const SettingsGuard&) = delete;

 private:
  TSettings settings_;
  TPairList pairs_;
};

}  // namespace zembrio::test
