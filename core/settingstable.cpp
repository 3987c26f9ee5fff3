#include "core/settingstable.h"

#include <algorithm>

#include "core/codepages.h"
#include "core/platform.h"
#include "core/textutil.h"

namespace zembrio {

namespace {

constexpr std::string_view kState = kStateSection;
constexpr std::string_view kSettings = kSettingsSection;

constexpr TSettingChoices kCodePages{
    IsListCodePage,
    "0 (détecter) ou une page de code Windows : 874, 932, 936, 949, 950, 1250 à 1258",
    "0 (detect) or a Windows code page: 874, 932, 936, 949, 950, 1250 to 1258"};

// The row makers name what each value is; a text is bare unless Quoted says otherwise.
enum TQuoting : bool { Bare = false, Quoted = true };

constexpr TSettingRow Text(std::string_view section, std::string_view name,
                           std::string TSettings::*field, std::string_view byDefault,
                           TQuoting quoting, std::string_view meaning) {
  TSettingRow row{section, name, field};
  row.TextDefault = byDefault;
  row.Quoted = quoting;
  row.Meaning = meaning;
  return row;
}

constexpr TSettingRow Number(std::string_view section, std::string_view name,
                             int32_t TSettings::*field, int32_t byDefault,
                             std::optional<TSettingRange> range, std::string_view meaning) {
  TSettingRow row{section, name, field};
  row.NumberDefault = byDefault;
  row.Range = range;
  row.Meaning = meaning;
  return row;
}

constexpr TSettingRow Flag(std::string_view section, std::string_view name, bool TSettings::*field,
                           bool byDefault, std::string_view meaning) {
  TSettingRow row{section, name, field};
  row.NumberDefault = byDefault ? 1 : 0;
  row.Meaning = meaning;
  return row;
}

// The window's positions and sizes take any number; -1 lets the window choose.
constexpr std::optional<TSettingRange> kAny = std::nullopt;

TSettingRow CodePageRow() {
  TSettingRow row =
      Number(kSettings, "LISTCODEPAGE", &TSettings::LISTCODEPAGE, kDefaultListCodePage, kAny,
             "code page of track lists that are not UTF-8 (0: detect it)");
  row.Choices = &kCodePages;
  return row;
}

TSettingRow CutterRow() {
  TSettingRow row = Text(kSettings, "VCUTEXE", &TSettings::VCUTEXE, "", Bare,
                         "the Ogg Vorbis cutter (default: vcut beside the program, else on the "
                         "PATH)");
  row.FoundDefault = DefaultVcutPath;
  return row;
}

TSettingRow ReplaceRow() {
  TSettingRow row{kSettings, "REPLACE", TReplaceListField{}};
  row.Quoted = true;
  row.Meaning =
      "replacements in names taken from track lists, hex-encoded pairs (default: the ten "
      "characters file names cannot hold)";
  return row;
}

const std::vector<TSettingRow>& Rows() {
  static const std::vector<TSettingRow> rows = {
      Text(kState, "LASTDIR", &TSettings::LASTDIR, "", Bare, "folder shown at start"),
      Number(kState, "IMPIDX", &TSettings::IMPIDX, 1, TSettingRange{1, 3},
             "last kind of track list imported (1 CUE, 2 XMCD, 3 plain text)"),
      Number(kState, "WNDLEFT", &TSettings::WNDLEFT, -1, kAny, "window position"),
      Number(kState, "WNDTOP", &TSettings::WNDTOP, -1, kAny, "window position"),
      Number(kState, "WNDWIDTH", &TSettings::WNDWIDTH, -1, kAny, "window size"),
      Number(kState, "WNDHEIGTH", &TSettings::WNDHEIGTH, -1, kAny, "window size"),
      Number(kState, "WNDSPLITTER", &TSettings::WNDSPLITTER, -1, kAny,
             "height of the file browser"),
      Flag(kState, "WNDMAXIMIZED", &TSettings::WNDMAXIMIZED, false, "window maximized"),
      Number(kSettings, "ID3V1TAG", &TSettings::ID3V1TAG, 1, TSettingRange{0, 2},
             "source's ID3v1 tag: 0 dropped, 1 kept by the last fragment, 2 copied to each"),
      Number(kSettings, "ID3V2TAG", &TSettings::ID3V2TAG, 1, TSettingRange{0, 1},
             "1: fragments get the track's tags (ID3v2.4, Vorbis comments)"),
      Flag(kSettings, "ZEROINDEX", &TSettings::ZEROINDEX, true,
           "CUE sheets: the first track starts at its INDEX 00"),
      Text(kSettings, "MASK", &TSettings::MASK, "%N %T", Bare,
           "name of imported tracks (%N number, %T title, %P artist, %D disc, %A disc artist)"),
      Flag(kSettings, "ADDEXTENSION", &TSettings::ADDEXTENSION, true,
           "add the source's extension to fragment names"),
      Flag(kSettings, "SKIPVBRHEADER", &TSettings::SKIPVBRHEADER, true,
           "leave out the source's VBR header frame"),
      Flag(kSettings, "XINGHEADER", &TSettings::XINGHEADER, true,
           "MPEG Layer III outputs start with a fresh Xing/LAME header frame"),
      CutterRow(),
      Number(kSettings, "PLAINTEXTFMT", &TSettings::PLAINTEXTFMT, 0, TSettingRange{0, 1},
             "plain text lists: 0 time then name, 1 name then time"),
      Text(kSettings, "PLTXTSEP", &TSettings::PLTXTSEP, "/", Quoted,
           "plain text lists: separator of time and name"),
      Text(kSettings, "XMCDSEPDISC", &TSettings::XMCDSEPDISC, " / ", Quoted,
           "XMCD: separator of disc artist and title"),
      Text(kSettings, "XMCDSEPTRACK", &TSettings::XMCDSEPTRACK, " / ", Quoted,
           "XMCD: separator of track artist and title"),
      Number(kSettings, "ADJUSTSTART", &TSettings::ADJUSTSTART, 1, TSettingRange{0, 3},
             "MPEG cut point: 0 previous frame, 1 nearest, 2 next, 3 exact sample"),
      Flag(kSettings, "TIME_SHOWH", &TSettings::TIME_SHOWH, false, "times show hours"),
      Number(kSettings, "TIME_TYPE", &TSettings::TIME_TYPE, 1, TSettingRange{0, 1},
             "times: 0 milliseconds, 1 CD frames"),
      Text(kSettings, "TIME_H", &TSettings::TIME_H, "h ", Quoted, "text after the hours"),
      Text(kSettings, "TIME_M", &TSettings::TIME_M, "m ", Quoted, "text after the minutes"),
      Text(kSettings, "TIME_S", &TSettings::TIME_S, "s ", Quoted, "text after the seconds"),
      Text(kSettings, "TIME_MS", &TSettings::TIME_MS, "ms", Quoted, "text after the milliseconds"),
      Text(kSettings, "TIME_F", &TSettings::TIME_F, "f", Quoted, "text after the CD frames"),
      Text(kSettings, "JOINNAME", &TSettings::JOINNAME, "join_output", Quoted,
           "name of a joined file"),
      Text(kSettings, "CUTDIR", &TSettings::CUTDIR, "", Quoted,
           "folder of the fragments, relative to the source's"),
      Number(kSettings, "SILENCEDB", &TSettings::SILENCEDB, -48, TSettingRange{-120, -1},
             "pauses: level below which sound is a pause (dBFS)"),
      Number(kSettings, "SILENCEMIN", &TSettings::SILENCEMIN, 1000, TSettingRange{0, 600000},
             "pauses: least length of a pause (ms)"),
      Number(kSettings, "SILENCEPOS", &TSettings::SILENCEPOS, 50, TSettingRange{0, 100},
             "pauses: where the next track starts (percent of the pause)"),
      Number(kSettings, "TRACKMIN", &TSettings::TRACKMIN, 10000, TSettingRange{0, 36000000},
             "pauses: least length of a track (ms)"),
      Number(kSettings, "HEARCUT", &TSettings::HEARCUT, 3000, TSettingRange{100, 60000},
             "\"Écouter la coupe\": time heard on either side of the cut (ms)"),
      CodePageRow(),
      Number(kSettings, "SNAPQUIET", &TSettings::SNAPQUIET, 0, TSettingRange{0, 1},
             "1: points placed on the strip go to the quietest 10 ms around them"),
      ReplaceRow(),
  };
  return rows;
}

}  // namespace

std::span<const TSettingRow> SettingRows() {
  return Rows();
}

const TSettingRow* FindSettingRow(std::string_view name) {
  for (const TSettingRow& row : Rows()) {
    if (SameTextAsciiCase(row.Name, name))
      return &row;
  }
  return nullptr;
}

const TSettingRow* RowOfField(int32_t TSettings::*field) {
  for (const TSettingRow& row : Rows()) {
    const auto number = std::get_if<int32_t TSettings::*>(&row.Field);
    if (number && *number == field)
      return &row;
  }
  return nullptr;
}

bool IsTextSetting(const TSettingRow& row) {
  return std::holds_alternative<std::string TSettings::*>(row.Field);
}

bool IsNumberSetting(const TSettingRow& row) {
  return std::holds_alternative<int32_t TSettings::*>(row.Field) ||
         std::holds_alternative<bool TSettings::*>(row.Field);
}

int32_t SettingNumber(const TSettingRow& row, const TSettings& record) {
  if (const auto number = std::get_if<int32_t TSettings::*>(&row.Field))
    return record.**number;
  return record.*std::get<bool TSettings::*>(row.Field) ? 1 : 0;
}

void SetSettingNumber(const TSettingRow& row, TSettings& record, int32_t value) {
  if (const auto number = std::get_if<int32_t TSettings::*>(&row.Field)) {
    record.** number = value;
  } else {
    record.*std::get<bool TSettings::*>(row.Field) = value != 0;
  }
}

const std::string& SettingText(const TSettingRow& row, const TSettings& record) {
  return record.*std::get<std::string TSettings::*>(row.Field);
}

void SetSettingText(const TSettingRow& row, TSettings& record, std::string value) {
  record.*std::get<std::string TSettings::*>(row.Field) = std::move(value);
}

bool TakesNumber(const TSettingRow& row, int32_t value) {
  if (row.Range && (value < row.Range->Low || value > row.Range->High))
    return false;
  return !row.Choices || row.Choices->Takes(value);
}

std::string SettingValuesText(const TSettingRow& row) {
  if (row.Range) {
    return "un nombre de " + std::to_string(row.Range->Low) + " à " +
           std::to_string(row.Range->High);
  }
  if (row.Choices)
    return std::string(row.Choices->Text);
  return IsNumberSetting(row) ? "un nombre" : "";
}

void SetSettingDefault(const TSettingRow& row, TSettings& record) {
  if (IsTextSetting(row)) {
    SetSettingText(row, record, std::string(row.TextDefault));
  } else if (IsNumberSetting(row)) {
    SetSettingNumber(row, record, row.NumberDefault);
  }
}

}  // namespace zembrio
