// The page copy's arithmetic against libogg's own pages: the CRC of a page, and of a page
// whose header was rewritten without reading its body; and the reader over files with
// garbage, damaged pages and more pages than its buffer holds.
#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <random>

#include "framebuilder.h"
#include "opus/oggpage.h"

namespace zembrio::test {
namespace {

uint32_t StoredCrc(const Bytes& page) {
  return static_cast<uint32_t>(page[22]) | static_cast<uint32_t>(page[23]) << 8 |
         static_cast<uint32_t>(page[24]) << 16 | static_cast<uint32_t>(page[25]) << 24;
}

// Pages libogg makes of packets of random lengths, a few of them longer than a page.
std::vector<Bytes> LiboggPages(std::mt19937& random, int packets) {
  ogg_stream_state stream;
  ogg_stream_init(&stream, static_cast<int>(random()));
  std::vector<Bytes> pages;
  ogg_page page;
  auto take = [&](int more) {
    while (more != 0 ? ogg_stream_pageout(&stream, &page) : ogg_stream_flush(&stream, &page)) {
      Bytes bytes(page.header, page.header + page.header_len);
      bytes.insert(bytes.end(), page.body, page.body + page.body_len);
      pages.push_back(bytes);
    }
  };
  for (int i = 0; i < packets; ++i) {
    Bytes packet(random() % 8 == 0 ? random() % 70000 : random() % 600);
    for (uint8_t& byte : packet)
      byte = static_cast<uint8_t>(random());
    ogg_packet op{};
    op.packet = packet.data();
    op.bytes = static_cast<long>(packet.size());
    op.b_o_s = i == 0 ? 1 : 0;
    op.e_o_s = i + 1 == packets ? 1 : 0;
    op.granulepos = i * 960;
    op.packetno = i;
    ogg_stream_packetin(&stream, &op);
    take(1);
  }
  take(0);
  ogg_stream_clear(&stream);
  return pages;
}

size_t HeaderSize(const Bytes& page) {
  return 27 + page[26];
}

TEST(OggPageTest, CrcsAgreeWithLiboggForPagesAsTheyAreAndRewritten) {
  std::mt19937 random(24);
  const std::vector<Bytes> pages = LiboggPages(random, 300);
  ASSERT_GT(pages.size(), 20u);
  for (const Bytes& original : pages) {
    ASSERT_EQ(OggPageCrc(original.data(), original.size()), StoredCrc(original));
    Bytes page = original;
    const TOggPageFields fields{static_cast<uint8_t>(random() % 8),
                                static_cast<int64_t>(random() << 20 | random()),
                                static_cast<uint32_t>(random()), static_cast<uint32_t>(random())};
    RewriteOggHeader(page.data(), HeaderSize(page), page.size() - HeaderSize(page), fields);
    ogg_page view{page.data(), static_cast<long>(HeaderSize(page)), page.data() + HeaderSize(page),
                  static_cast<long>(page.size() - HeaderSize(page))};
    EXPECT_EQ(ogg_page_granulepos(&view), fields.Granule);
    EXPECT_EQ(static_cast<uint32_t>(ogg_page_serialno(&view)), fields.Serial);
    EXPECT_EQ(static_cast<uint32_t>(ogg_page_pageno(&view)), fields.Sequence);
    EXPECT_EQ(page[5], fields.Flags);
    const uint32_t rewritten = StoredCrc(page);
    ogg_page_checksum_set(&view);
    EXPECT_EQ(rewritten, StoredCrc(page));
  }
}

TEST(OggPageTest, AppendingZerosIsTheCrcOfTheZeros) {
  const Bytes zeros(size_t{1} << 20, 0);
  for (const uint32_t crc : {0u, 1u, 0x80000000u, 0xDEADBEEFu}) {
    for (const size_t count : {0, 1, 2, 3, 255, 4096, 65307, 1 << 20})
      EXPECT_EQ(OggCrcAppendZeros(crc, count), OggCrc(crc, zeros.data(), count)) << count;
  }
}

// Garbage before, between and after the pages, a page whose body was damaged, and a last
// page cut short: the reader gives the sound pages whole, where they lie, and the page it
// gave before the last is still in place.
TEST(OggPageTest, TheReaderGivesTheSoundPagesAndPassesOverTheRest) {
  std::mt19937 random(7);
  const std::vector<Bytes> pages = LiboggPages(random, 4000);
  Bytes file = Garbage(1000, 'O');
  std::vector<std::pair<size_t, size_t>> expected;  // page, position
  for (size_t i = 0; i < pages.size(); ++i) {
    if (i % 50 == 7)
      Append(file, Garbage(i, 'O'));
    Bytes page = pages[i];
    if (i % 97 == 5)
      page.back() ^= 1;
    else
      expected.emplace_back(i, file.size());
    Append(file, page);
  }
  ASSERT_GT(file.size(), size_t{6} << 20);
  const Bytes& last = pages.back();
  file.insert(file.end(), last.begin(),
              last.begin() + static_cast<std::ptrdiff_t>(last.size() / 2));
  expected.pop_back();
  file.erase(file.end() - static_cast<std::ptrdiff_t>(last.size() + last.size() / 2),
             file.end() - static_cast<std::ptrdiff_t>(last.size() / 2));
  TempDir dir;
  const std::string path = dir.File("pages.ogg");
  WriteFile(path, file);
  TInputFile input(path);
  TOggPageReader reader(input);
  TOggPage page;
  TOggPage before;
  size_t given = 0;
  while (reader.Next(page)) {
    ASSERT_LT(given, expected.size());
    const Bytes& want = pages[expected[given].first];
    EXPECT_EQ(page.Position, static_cast<int64_t>(expected[given].second));
    ASSERT_EQ(page.Size(), want.size());
    EXPECT_EQ(Bytes(page.Bytes, page.Bytes + page.Size()), want);
    if (given > 0) {
      const Bytes& previous = pages[expected[given - 1].first];
      ASSERT_EQ(Bytes(before.Bytes, before.Bytes + before.Size()), previous);
    }
    before = page;
    ++given;
  }
  EXPECT_EQ(given, expected.size());
}

}  // namespace
}  // namespace zembrio::test
