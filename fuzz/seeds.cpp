// Writes the seed corpora of the fuzz targets: built MPEG streams of every version and
// layer, with junk, tags and VBR header frames, and small settings and time samples. The
// files of tests/data are copied in by scripts/fuzz.sh.
//   fuzz_seeds <corpus root>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "framebuilder.h"
#include "mpeg/xingheader.h"

using namespace zembrio::test;

namespace {

std::string gRoot;

void Seed(const std::string& target, const std::string& name, const Bytes& bytes) {
  const std::filesystem::path folder = std::filesystem::path(gRoot) / target;
  std::filesystem::create_directories(folder);
  WriteFile((folder / name).string(), bytes);
}

void Seed(const std::string& target, const std::string& name, const std::string& text) {
  Seed(target, name, Bytes(text.begin(), text.end()));
}

// Streams small enough for many runs a second.
std::vector<std::pair<std::string, Bytes>> Streams() {
  std::vector<std::pair<std::string, Bytes>> streams;
  const FrameSpec mpeg1{};
  const FrameSpec mpeg2{2, 1, 8, 0, 0, 3};
  const FrameSpec mpeg25{0, 1, 4, 2, 1, 1};
  const FrameSpec layer2{3, 2, 10, 1, 0, 0};
  const FrameSpec layer1{3, 3, 5, 0, 1, 3};
  streams.push_back({"mpeg1", Frames(mpeg1, 6)});
  streams.push_back({"mpeg2", Frames(mpeg2, 8)});
  streams.push_back({"mpeg25", Frames(mpeg25, 8)});
  streams.push_back({"layer2", Frames(layer2, 5)});
  streams.push_back({"layer1", Frames(layer1, 8)});

  Bytes junk = Garbage(37);
  Append(junk, Frames(mpeg1, 3));
  Append(junk, Garbage(5, 0xFF));
  Append(junk, Frames(mpeg1, 3));
  streams.push_back({"junk", junk});

  Bytes tagged = Id3v2Tag(64, true);
  Append(tagged, VbrFrame(mpeg1, "Xing"));
  Append(tagged, Frames(mpeg1, 3));
  Append(tagged, Id3v1Tag());
  streams.push_back({"tags-xing", tagged});

  Bytes info = VbrFrame(mpeg2, "Info");
  Append(info, Frames(mpeg2, 3));
  streams.push_back({"info", info});
  Bytes vbri = VbrFrame(layer2, "VBRI");
  Append(vbri, Frames(layer2, 2));
  streams.push_back({"vbri", vbri});

  Bytes replayGain = Frames(mpeg1, 3);
  Append(replayGain, ApeTag({{"REPLAYGAIN_TRACK_GAIN", "-6.54 dB"}, {"MP3GAIN_MINMAX", "092,21"}}));
  streams.push_back({"ape", replayGain});
  Bytes endTags = Frames(mpeg2, 3);
  Append(endTags, ApeTag({{"REPLAYGAIN_ALBUM_GAIN", "-7 dB"}}, false));
  Append(endTags, Lyrics3Block("la la"));
  Append(endTags, Id3v1Tag());
  streams.push_back({"ape-lyrics-id3v1", endTags});

  Bytes mixed = Frames(mpeg1, 2);
  Append(mixed, Frames(mpeg2, 2));
  Bytes cutShort = Frames(mpeg1, 2);
  cutShort.resize(cutShort.size() - 100);
  Append(mixed, cutShort);
  streams.push_back({"mixed-cut-short", mixed});
  return streams;
}

}  // namespace

// Fragments of ours as a crafted file would imitate them: header frames whose mark after the
// LAME extension claims a first frame near 2^63 or more shared frames than the file holds.
std::vector<std::pair<std::string, Bytes>> CraftedMarks() {
  const Bytes frames = Frames(FrameSpec{}, 4);
  zembrio::THeaderFrameFields fields;
  fields.Header = *zembrio::HeaderFrameHeader({frames[0], frames[1], frames[2], frames[3]});
  fields.Frames = 4;
  std::vector<std::pair<std::string, Bytes>> seeds;
  const zembrio::TFragmentMark marks[] = {
      {7, INT64_MAX, 0, 3}, {7, INT64_MAX - 2, 5, 0}, {9, 0, 0, 65535}, {9, 4, 65535, 0}};
  int n = 0;
  for (const zembrio::TFragmentMark& mark : marks) {
    fields.Mark = mark;
    const std::vector<uint8_t> frame = zembrio::BuildHeaderFrame(fields);
    Bytes bytes(frame.begin(), frame.end());
    Append(bytes, frames);
    seeds.emplace_back("crafted-mark-" + std::to_string(n++), bytes);
  }
  return seeds;
}

int main(int argc, char** argv) {
  if (argc != 2)
    return 2;
  gRoot = argv[1];
  for (const auto& [name, bytes] : Streams()) {
    Seed("fuzz_mpgwalk", name, bytes);
    for (uint8_t config : {0x00, 0x13, 0x26, 0x61}) {
      Bytes run{config, 40, 30, 0x0F};
      Append(run, bytes);
      Seed("fuzz_splitter", name + "-" + std::to_string(config), run);
    }
    Bytes headers(bytes.begin(), bytes.begin() + 4);
    const int second = FrameLength(FrameSpec{}) < static_cast<int>(bytes.size()) ? 4 : 0;
    Append(headers, Bytes(bytes.begin() + second, bytes.begin() + second + 4));
    Seed("fuzz_frameheader", name, headers);
  }

  for (const auto& [name, bytes] : CraftedMarks()) {
    Seed("fuzz_mpgwalk", name, bytes);
    Seed("fuzz_xingheader", name, Bytes(bytes.begin() + 4, bytes.end()));
  }
  Seed("fuzz_cuesheet", "widths",
       "TRACK 1 AUDIO\nINDEX 1 00:00:00\nTRACK 100 AUDIO\nINDEX 01 01:00:00\n"
       "TRACK  AUDIO\nINDEX 00:00:00\n");

  Seed("fuzz_settings", "full.ini",
       "[STATE]\nLASTDIR=/home/user/Musique\nIMPIDX=2\nWNDLEFT=10\nWNDMAXIMIZED=1\n"
       "[SETTINGS]\nID3V1TAG=2\nZEROINDEX=0\nMASK=\"%N - %P - %T\"\nADDEXTENSION=1\n"
       "PLTXTSEP=\" - \"\nTIME_H=\"h \"\nJOINNAME=join_output\nCUTDIR=/tmp/out\n"
       "REPLACE=\"2F=2D\",\"3A=20\",5C=2D,\"\"\n[OTHER]\nKEEP=me\n");
  Seed("fuzz_settings", "odd.ini",
       "; comment\r\n[settings]\r\nid3v1tag=0x10\r\nTIME_TYPE=-1\r\nREPLACE=\r\n[STATE]\r\n");

  for (const char* time : {"\x00"
                           "1:23.456",
                           "\x01"
                           "1:23:45",
                           "\x02"
                           "1:02:03.5",
                           "\x03"
                           "12.74",
                           "\x00"
                           "99999999999",
                           "\x00"
                           " 5 , 250 "}) {
    const std::string text(time, 1 + std::char_traits<char>::length(time + 1));
    Seed("fuzz_parsetime", std::to_string(std::hash<std::string>{}(text)), text);
  }
  Seed("fuzz_hexdecode", "pair", "2F=2D");
  Seed("fuzz_hexdecode", "odd", "C3A9=2=ZZ3");
  Seed("fuzz_plaintext", "list", "0:00 / Intro\n1:23.450 / Suite\n\n3:10 / Fin\n");
  Seed("fuzz_plaintext", "names", "Intro - 0\nSuite - 83.45\n");
  return 0;
}
