#include "app/destination.h"

#include <gtest/gtest.h>

namespace zembrio {
namespace {

// The window and the command line both propose this folder: a slip here sends fragments
// somewhere the user never looks, or to the root.
TEST(CutDestination, RelativeFolderGoesBelowTheSourceAbsoluteOneStays) {
  EXPECT_EQ(CutDestinationFor("/music/album/", "cut"), "/music/album/cut/");
  EXPECT_EQ(CutDestinationFor("/music/album", "cut"), "/music/album/cut/");
  EXPECT_EQ(CutDestinationFor("/music/album/", "../parts/"), "/music/parts/");
  EXPECT_EQ(CutDestinationFor("/music/album/", "/srv/out"), "/srv/out/");
  EXPECT_EQ(CutDestinationFor("/music/album/", ""), "/music/album/");
}

TEST(CutDestination, SourceWithoutFolderMeansTheCurrentFolderNeverTheRoot) {
  EXPECT_NE(CutDestinationFor("", ""), "/");
  const std::string below = CutDestinationFor("", "cut");
  EXPECT_NE(below, "/cut/");
  EXPECT_TRUE(below.ends_with("/cut/")) << below;
}

}  // namespace
}  // namespace zembrio
