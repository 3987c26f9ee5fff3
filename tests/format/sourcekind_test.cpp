#include "format/sourcekind.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "framebuilder.h"

namespace zembrio::test {
namespace {

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// The first page of an Ogg stream whose first packet starts with packetStart.
Bytes OggFirstPage(const std::string& packetStart) {
  Bytes page = Text("OggS");
  page.push_back(0);     // version
  page.push_back(0x02);  // beginning of stream
  page.resize(26, 0);    // granule, serial, sequence, CRC
  page.push_back(1);     // one segment
  page.push_back(static_cast<uint8_t>(packetStart.size()));
  Append(page, Text(packetStart));
  return page;
}

Bytes WithTail(Bytes head, size_t tail) {
  Append(head, Garbage(tail));
  return head;
}

TEST(SourceKindTest, ContentDecidesAndTheExtensionOnlyBreaksTies) {
  struct Case {
    const char* what;
    Bytes bytes;
    const char* extension;
    TSourceKind expected;
  };
  Bytes riff = Text("RIFF");
  Append(riff, Bytes{0, 0, 0, 0});
  Append(riff, Text("WAVEfmt "));
  Bytes rf64 = riff;
  std::copy_n("RF64", 4, rf64.begin());
  const Case cases[] = {
      {"FLAC named .mp3", WithTail(Text("fLaC"), 100), ".mp3", TSourceKind::Flac},
      {"WAV", WithTail(riff, 100), ".wav", TSourceKind::Wav},
      {"RF64", WithTail(rf64, 100), ".wav", TSourceKind::Wav},
      {"RIFF that is not WAVE", WithTail(Text("RIFF\0\0\0\0AVI "), 100), ".wav",
       TSourceKind::Unknown},
      {"Ogg Vorbis", OggFirstPage("\x01vorbis"), ".ogg", TSourceKind::OggVorbis},
      {"Ogg Opus named .ogg", OggFirstPage("OpusHead"), ".ogg", TSourceKind::OggOpus},
      {"Ogg of another codec", OggFirstPage("Speex   "), ".ogg", TSourceKind::Unknown},
      {"MPEG frames named .wav", Frames(FrameSpec{}, 5), ".wav", TSourceKind::Mpeg},
      {"garbage named .bin", Garbage(3000), ".bin", TSourceKind::Unknown},
      {"garbage named .MP3", Garbage(3000), ".MP3", TSourceKind::Mpeg},
      {"garbage named .flac", Garbage(3000), ".flac", TSourceKind::Unknown},
      {"empty", Bytes{}, ".txt", TSourceKind::Unknown},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SourceKindOfBytes(c.bytes.data(), c.bytes.size(), c.extension), c.expected) << c.what;
  }
  Bytes late = Garbage(3000);
  Append(late, Frames(FrameSpec{}, 3));
  EXPECT_EQ(SourceKindOfBytes(late.data(), late.size(), ""), TSourceKind::Mpeg);
}

TEST(SourceKindTest, FilesAreReadPastTheirId3v2Tag) {
  TempDir dir;
  const std::string flac = dir.File("tagged.flac");
  Bytes bytes = Id3v2Tag(70000);
  Append(bytes, WithTail(Text("fLaC"), 100));
  WriteFile(flac, bytes);
  EXPECT_EQ(LeadingId3v2Size(bytes.data(), bytes.size()), 70010u);
  EXPECT_EQ(DetectSourceKind(flac), TSourceKind::Flac);
  EXPECT_EQ(SourceRefusal(flac), "");

  const std::string mp3 = dir.File("tagged.bin");
  bytes = Id3v2Tag(60000);
  Append(bytes, Frames(FrameSpec{}, 4));
  WriteFile(mp3, bytes);
  EXPECT_EQ(DetectSourceKind(mp3), TSourceKind::Mpeg);
}

TEST(SourceKindTest, WhatIsNotARegularFileOrNotAudioIsRefusedWithItsReason) {
  TempDir dir;
  const std::string fifo = dir.File("pipe.mp3");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(DetectSourceKind(fifo), TSourceKind::Unknown);  // returns: never opens it
  EXPECT_EQ(SourceRefusal(fifo), "pipe.mp3 n'est pas un fichier ordinaire : rien n'est lu.");
  EXPECT_NE(SourceRefusal(dir.Path()).find("n'est pas un fichier ordinaire"), std::string::npos);

  const std::string text = dir.File("notes.txt");
  WriteFile(text, Garbage(500));
  EXPECT_EQ(SourceRefusal(text),
            "notes.txt : format non reconnu (MPEG, Ogg Vorbis, FLAC ou WAV attendu).");
  EXPECT_NE(SourceRefusal(dir.File("missing.mp3")).find("No such file"), std::string::npos);
}

TEST(SourceKindTest, TheFileListShowsEveryHandledExtensionInAnyCase) {
  for (const char* name : {"a.mp3", "B.MP2", "c.Mp1", "d.mpe", "e.ogg", "f.FLAC", "g.wav"})
    EXPECT_TRUE(IsListedSourceName(name)) << name;
  for (const char* name : {"a.txt", "flac", "b.mp4", "c.cue", "wav"})
    EXPECT_FALSE(IsListedSourceName(name)) << name;
}

}  // namespace
}  // namespace zembrio::test
