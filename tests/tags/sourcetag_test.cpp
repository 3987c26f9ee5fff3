// The source's ID3v2 tag as a cut takes it over: only the leading tag is read, and a tag too
// large to copy into every fragment, or whose compressed frames would inflate without
// bound, is left out.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <string>

#include "framebuilder.h"
#include "tags/id3v2tag.h"

namespace zembrio::test {
namespace {

void PutSyncSafe(Bytes& out, uint32_t value) {
  for (int shift = 21; shift >= 0; shift -= 7)
    out.push_back(static_cast<uint8_t>((value >> shift) & 0x7F));
}

// An ID3v2.4 tag holding one frame; flags are the frame's two format bytes.
Bytes TagWithFrame(const std::string& id, uint16_t flags, const Bytes& data) {
  Bytes frame(id.begin(), id.end());
  PutSyncSafe(frame, static_cast<uint32_t>(data.size()));
  frame.push_back(static_cast<uint8_t>(flags >> 8));
  frame.push_back(static_cast<uint8_t>(flags));
  frame.insert(frame.end(), data.begin(), data.end());
  Bytes tag = {'I', 'D', '3', 4, 0, 0};
  PutSyncSafe(tag, static_cast<uint32_t>(frame.size()));
  tag.insert(tag.end(), frame.begin(), frame.end());
  return tag;
}

// A PRIV frame compressed with zlib whose data inflates to inflated bytes.
Bytes CompressedFrameTag(uint32_t inflated) {
  Bytes raw(inflated, 0);
  const std::string owner = "zembrio";
  std::copy(owner.begin(), owner.end(), raw.begin());
  uLongf size = compressBound(inflated);
  Bytes packed(size);
  compress2(packed.data(), &size, raw.data(), inflated, 9);
  packed.resize(size);
  Bytes data;
  PutSyncSafe(data, inflated);  // the data length indicator
  data.insert(data.end(), packed.begin(), packed.end());
  return TagWithFrame("PRIV", 0x0009, data);  // compressed, with a data length indicator
}

std::string Rendered(const TId3v2Source& tag) {
  TFragmentTags fields;
  fields.Title = "Intro";
  const std::vector<uint8_t> bytes = tag.Render(fields);
  return std::string(bytes.begin(), bytes.end());
}

class SourceTagTest : public ::testing::Test {
 protected:
  std::string Source(const Bytes& tag) {
    Bytes bytes = tag;
    Append(bytes, Frames(FrameSpec{}, 10));
    WriteFile(path_, bytes);
    return path_;
  }

  TempDir dir_;
  std::string path_ = dir_.File("song.mp3");
};

TEST_F(SourceTagTest, TagsWithinTheLimitsAreTakenOver) {
  const TId3v2Source small(Source(CompressedFrameTag(100000)));
  EXPECT_FALSE(small.TooLarge());
  EXPECT_NE(Rendered(small).find("PRIV"), std::string::npos);

  const TId3v2Source plain(Source(TagWithFrame("PRIV", 0, Bytes(1 << 20, 'p'))));
  EXPECT_FALSE(plain.TooLarge());
  EXPECT_GT(Rendered(plain).size(), 1u << 20);
}

// A cover picture larger than the limit, and a compressed frame of a few kilobytes that
// inflates to far more: the fragments get their fields alone, and the source says so.
TEST_F(SourceTagTest, TagsOverTheLimitsAreLeftOut) {
  const struct {
    const char* What;
    Bytes Tag;
  } cases[] = {
      {"large", TagWithFrame("APIC", 0, Bytes(kSourceTagLimit + 1, 'c'))},
      {"inflates", CompressedFrameTag(static_cast<uint32_t>(kSourceTagLimit))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const TId3v2Source tag(Source(c.Tag));
    EXPECT_TRUE(tag.TooLarge());
    const std::string rendered = Rendered(tag);
    EXPECT_LT(rendered.size(), 4096u);
    EXPECT_NE(rendered.find("Intro"), std::string::npos);
  }
}

// Only the leading tag is read: a source that never ends is no reason to wait.
TEST_F(SourceTagTest, OnlyTheLeadingTagIsRead) {
  if (!std::filesystem::exists("/dev/zero"))
    GTEST_SKIP() << "no /dev/zero";
  const TId3v2Source endless("/dev/zero");
  EXPECT_FALSE(endless.TooLarge());
  EXPECT_EQ(Rendered(endless).find("PRIV"), std::string::npos);
}

}  // namespace
}  // namespace zembrio::test
