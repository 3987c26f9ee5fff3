#include "wav/wavreport.h"

#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tpropertymap.h>

#include <algorithm>
#include <cstring>

#include "cut/statsreport.h"

namespace zembrio {

namespace {

std::string IdText(const TChunkId& id) {
  std::string text(id.begin(), id.end());
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c < 0x20 || c > 0x7E; }, '?');
  return text;
}

TagLib::ByteVector Bytes(const std::vector<uint8_t>& body) {
  return TagLib::ByteVector(reinterpret_cast<const char*>(body.data()),
                            static_cast<unsigned int>(body.size()));
}

void AddInfoTags(const TWavChunk& chunk, std::vector<std::string>& lines) {
  const TagLib::RIFF::Info::Tag tag(Bytes(chunk.Body));
  for (const auto& [id, text] : tag.fieldListMap())
    lines.push_back("  " + std::string(id.data(), id.size()) + ": " + text.to8Bit(true));
}

void AddId3Tags(const TWavChunk& chunk, std::vector<std::string>& lines) {
  TagLib::ByteVector data = Bytes(chunk.Body);
  TagLib::ByteVectorStream stream(data);
  TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
  if (!file.hasID3v2Tag())
    return;
  for (const auto& [key, values] : file.ID3v2Tag()->properties())
    lines.push_back("  " + key.to8Bit(true) + ": " + values.toString(" / ").to8Bit(true));
}

void AddTags(const TWavLayout& layout, std::vector<std::string>& lines) {
  const TWavChunk* info = layout.Find("LIST", "INFO");
  const TWavChunk* id3 = layout.Find("id3 ");
  if (id3 == nullptr)
    id3 = layout.Find("ID3 ");
  if (info != nullptr && !info->Body.empty()) {
    lines.emplace_back("Étiquettes LIST/INFO:");
    AddInfoTags(*info, lines);
  }
  if (id3 != nullptr && !id3->Body.empty()) {
    lines.emplace_back("Étiquette ID3v2:");
    AddId3Tags(*id3, lines);
  }
}

constexpr const char* kDataTruncated =
    "Bloc data tronqué : le fichier finit avant la taille annoncée.";

void AddFileInfo(const TWavReportInput& input, std::vector<std::string>& lines) {
  const TWavLayout& layout = input.Source->Layout();
  const TWavFormat& f = layout.Format;
  lines.push_back(std::string("Conteneur: ") + (layout.Rf64 ? "RF64" : "RIFF"));
  lines.push_back("Format: " + WavFormatName(f));
  lines.push_back("Fréquence: " + std::to_string(f.SampleRate) + " Hz");
  lines.push_back("Canaux: " + std::to_string(f.Channels));
  std::string bits = "Bits: " + std::to_string(f.BitsPerSample);
  if (f.Extensible() && f.ValidBits != 0 && f.ValidBits != f.BitsPerSample)
    bits += " (" + std::to_string(f.ValidBits) + " utiles)";
  lines.push_back(bits);
  // A cut's report says it too: the last tracks of such a file are shorter than asked, or
  // not there.
  if (input.Cut) {
    if (layout.DataTruncated)
      lines.emplace_back(kDataTruncated);
    return;
  }
  lines.push_back("Alignement: " + std::to_string(f.BlockAlign) + " octets");
  if (f.Extensible()) {
    char mask[16];
    std::snprintf(mask, sizeof mask, "0x%X", f.ChannelMask);
    lines.push_back(std::string("Masque canaux: ") + mask);
  }
  lines.push_back("Durée : " + PositionText(static_cast<int32_t>(f.SampleRate), layout.Samples()));
  lines.push_back("Échantillons: " + std::to_string(layout.Samples()));
  lines.push_back("Données: " + std::to_string(layout.DataSize) + " octets");
  if (layout.DataTruncated)
    lines.emplace_back(kDataTruncated);
  lines.push_back("Blocs: " + WavChunkList(layout));
  AddTags(layout, lines);
}

}  // namespace

std::string WavChunkList(const TWavLayout& layout) {
  struct TPlaced {
    int64_t Offset;
    std::string Name;
  };
  std::vector<TPlaced> placed{{layout.FmtOffset, "fmt "}, {layout.DataOffset, "data"}};
  for (const TWavChunk& chunk : layout.Chunks) {
    std::string name = IdText(chunk.Id);
    if (std::memcmp(chunk.Id.data(), "LIST", 4) == 0)
      name += "/" + IdText(chunk.ListType);
    placed.push_back({chunk.Offset, name});
  }
  std::stable_sort(placed.begin(), placed.end(),
                   [](const TPlaced& a, const TPlaced& b) { return a.Offset < b.Offset; });
  std::string text;
  for (const TPlaced& chunk : placed)
    text += (text.empty() ? "" : ", ") + chunk.Name;
  return text;
}

std::vector<std::string> BuildWavReport(const TWavReportInput& input) {
  std::vector<std::string> lines = ReportHead(input.Elapsed, input.Source->Path());
  AddFileInfo(input, lines);
  if (input.Cut && input.List != nullptr)
    AddFragmentReports(*input.List, lines);
  return lines;
}

}  // namespace zembrio
