// Settings and replacement list at their defaults for every import test, and the helpers
// that read the committed track list samples.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/settings.h"
#include "core/textutil.h"
#include "cutlist/cutpoint.h"
#include "framebuilder.h"
#include "recordingfeedback.h"

namespace zembrio::test {

inline std::string ImportSample(const std::string& name) {
  return std::string(ZEMBRIO_TEST_DATA_DIR) + "/import/" + name;
}

inline void WriteText(const std::string& path, const std::string& text) {
  WriteFile(path, Bytes(text.begin(), text.end()));
}

class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    Settings() = TSettings{};
    ReplacementList() = DefaultPairs();
  }

  // "<seconds>s<frames>f <name>" of cut point i, for compact comparisons.
  std::string Point(int i) const {
    const TCutPoint& point = list[i];
    return std::to_string(point.Seconds) + "s" + std::to_string(point.Frames) + "f " + point.Name;
  }

  TCPList list;
  TRunState state;
  RecordingFeedback feedback{state};
  TempDir dir;
};

}  // namespace zembrio::test
