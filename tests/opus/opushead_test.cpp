// The headers and packet lengths the walk relies on, and the walk over bytes that are not
// a whole Opus stream.
#include <gtest/gtest.h>

#include "framebuilder.h"
#include "opus/opushead.h"
#include "opus/opustags.h"
#include "opus/opuswalk.h"
#include "opustools.h"

namespace zembrio::test {
namespace {

Bytes Head(uint8_t channels, uint16_t preSkip, uint8_t family) {
  Bytes head = {'O',
                'p',
                'u',
                's',
                'H',
                'e',
                'a',
                'd',
                1,
                channels,
                static_cast<uint8_t>(preSkip & 0xFF),
                static_cast<uint8_t>(preSkip >> 8),
                0x80,
                0xBB,
                0,
                0,
                0,
                0,
                family};
  return head;
}

TEST(OpusHeadTest, TheHeaderIsReadAndItsPreSkipReplacedAlone) {
  Bytes bytes = Head(2, 312, 0);
  const auto head = ParseOpusHead(bytes.data(), bytes.size());
  ASSERT_TRUE(head);
  EXPECT_EQ(head->Channels, 2);
  EXPECT_EQ(head->PreSkip, 312);
  EXPECT_EQ(head->InputRate, 48000u);
  Bytes changed = OpusHeadWithPreSkip(*head, 0xBEEF);
  EXPECT_EQ(changed[10], 0xEF);
  EXPECT_EQ(changed[11], 0xBE);
  changed[10] = bytes[10];
  changed[11] = bytes[11];
  EXPECT_EQ(changed, bytes);

  // Refused: no channel, a version of another major, a mapping family without its table.
  for (Bytes bad : {Head(0, 0, 0), Head(6, 0, 1), Bytes(bytes.begin(), bytes.end() - 1)}) {
    EXPECT_FALSE(ParseOpusHead(bad.data(), bad.size()));
  }
  bytes[8] = 0x10;
  EXPECT_FALSE(ParseOpusHead(bytes.data(), bytes.size()));
}

TEST(OpusHeadTest, PacketLengthsComeFromTheirTableOfContents) {
  struct Case {
    Bytes packet;
    int32_t samples;
  };
  const Case cases[] = {
      {{0xFC, 0, 0}, 960},          // CELT fullband 20 ms, one frame
      {{0x01, 0, 0}, 960},          // SILK narrowband 10 ms, two frames of equal size
      {{0x19, 0, 0}, 5760},         // SILK 60 ms, two frames: 120 ms, the most
      {{0xE3, 0x06, 0, 0}, 720},    // CELT 2.5 ms, six frames in a code 3 packet
      {{}, -1},                     // empty
      {{0x03, 0x00}, -1},           // code 3 without a frame
      {{0x1B, 0x03, 0, 0, 0}, -1},  // 3 x 60 ms: over 120 ms
  };
  for (const Case& c : cases)
    EXPECT_EQ(OpusPacketSamples(c.packet.data(), c.packet.size()), c.samples)
        << static_cast<int>(c.packet.empty() ? -1 : c.packet[0]);
}

TEST(OpusTagsTest, TheSourcesCommentsStayButItsLoudnessGoes) {
  TFragmentTags tags;
  tags.Title = "Deux";
  tags.Track = 2;
  tags.TrackTotal = 5;
  const std::vector<uint8_t> none;
  const auto fresh = OpusTagsFields(FragmentOpusTags(none, &tags));
  EXPECT_EQ(fresh.at("TITLE"), std::vector<std::string>{"Deux"});
  EXPECT_EQ(fresh.at("TRACKNUMBER"), std::vector<std::string>{"2"});

  // A source header with a vendor, a title, a composer and its gains.
  const std::string body = std::string("OpusTags") + std::string("\x03\0\0\0abc", 7) +
                           std::string("\x03\0\0\0", 4) + std::string("\x07\0\0\0TITLE=x", 11) +
                           std::string("\x0A\0\0\0COMPOSER=y", 14) +
                           std::string("\x13\0\0\0R128_TRACK_GAIN=-12", 23);
  const std::vector<uint8_t> source(body.begin(), body.end());
  const auto kept = OpusTagsFields(FragmentOpusTags(source, nullptr));
  EXPECT_EQ(kept.at("TITLE"), std::vector<std::string>{"x"});
  EXPECT_EQ(kept.at("COMPOSER"), std::vector<std::string>{"y"});
  EXPECT_EQ(kept.count("R128_TRACK_GAIN"), 0u);
  const auto replaced = OpusTagsFields(FragmentOpusTags(source, &tags));
  EXPECT_EQ(replaced.at("TITLE"), std::vector<std::string>{"Deux"});
}

// What the walk says of a file that is not a whole stream: no packet out of nothing.
TEST(OpusWalkTest, BytesThatAreNoOpusStreamGiveNoPackets) {
  TempDir dir;
  const std::string path = dir.File("junk.opus");
  for (const Bytes& bytes : {Bytes{}, Garbage(10000), Bytes{'O', 'g', 'g', 'S', 0, 2}}) {
    WriteFile(path, bytes);
    TInputFile input(path);
    TOpusWalk walk(input);
    EXPECT_FALSE(walk.ReadHeaders());
    EXPECT_EQ(walk.Problem(), "aucun flux Ogg Opus lisible");
  }
}

TEST(OpusWalkTest, PacketsFollowEachOtherAndTheLastIsMarked) {
  if (!HaveTools({"sox", "opusenc"}))
    GTEST_SKIP() << "sox and opusenc are needed";
  TempDir dir;
  const std::string path = dir.File("talk.opus");
  MakeOpus(OpusKind::Speech, 2, path);
  TInputFile input(path);
  TOpusWalk walk(input);
  ASSERT_TRUE(walk.ReadHeaders());
  TOpusPacket packet;
  int64_t expected = 0;
  int lastCount = 0;
  while (walk.Next(packet) == TOpusWalkResult::Packet) {
    EXPECT_EQ(packet.Offset, expected);
    expected = packet.End();
    lastCount += packet.Last ? 1 : 0;
  }
  EXPECT_EQ(lastCount, 1);
  EXPECT_TRUE(packet.Last);
  EXPECT_EQ(walk.PlayedSamples(), DecodeOpus(path).Total);
  EXPECT_FALSE(walk.ChainFollows());
}

}  // namespace
}  // namespace zembrio::test
