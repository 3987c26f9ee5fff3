// The frame map that the waveform and the player share: walked once per state of a file.
#include <gtest/gtest.h>

#include <thread>

#include "core/settings.h"
#include "framebuilder.h"
#include "sound/framemap.h"
#include "tests/support/settingsguard.h"

namespace zembrio {
namespace {

TEST(SharedFrameMapTest, AFileIsWalkedOnceUntilItChanges) {
  test::SettingsGuard guard;
  test::TempDir dir;
  const std::string path = dir.File("a.mp3");
  test::WriteFile(path, test::Frames(test::FrameSpec{}, 300));

  const std::shared_ptr<const TFrameMap> first = SharedFrameMap(path, nullptr);
  EXPECT_EQ(first->FrameCount, 300);
  EXPECT_EQ(SharedFrameMap(path, nullptr), first);

  // Rewritten with other frames, the file is walked anew.
  test::WriteFile(path, test::Frames(test::FrameSpec{}, 500));
  const std::shared_ptr<const TFrameMap> second = SharedFrameMap(path, nullptr);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->FrameCount, 500);

  // A walk with the other VBR-header rule is another map.
  Settings().SKIPVBRHEADER = !Settings().SKIPVBRHEADER;
  EXPECT_NE(SharedFrameMap(path, nullptr), second);
}

TEST(SharedFrameMapTest, TwoThreadsAskingAtOnceShareOneWalk) {
  test::SettingsGuard guard;
  test::TempDir dir;
  const std::string path = dir.File("shared.mp3");
  test::WriteFile(path, test::Frames(test::FrameSpec{}, 40 * TFrameMap::kStride));
  std::shared_ptr<const TFrameMap> other;
  std::thread walker([&] { other = SharedFrameMap(path, nullptr); });
  const std::shared_ptr<const TFrameMap> mine = SharedFrameMap(path, nullptr);
  walker.join();
  EXPECT_EQ(mine, other);
  EXPECT_EQ(mine->FrameCount, 40 * TFrameMap::kStride);
}

TEST(SharedFrameMapTest, AStoppedWalkIsNotKept) {
  test::SettingsGuard guard;
  test::TempDir dir;
  const std::string path = dir.File("long.mp3");
  test::WriteFile(path, test::Frames(test::FrameSpec{}, 3 * TFrameMap::kStride));
  TSoundProgress stopped;
  stopped.AbortRequested = true;
  EXPECT_LT(SharedFrameMap(path, &stopped)->FrameCount, 3 * TFrameMap::kStride);
  EXPECT_EQ(SharedFrameMap(path, nullptr)->FrameCount, 3 * TFrameMap::kStride);
}

}  // namespace
}  // namespace zembrio
