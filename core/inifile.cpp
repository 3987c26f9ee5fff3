#include "core/inifile.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <variant>

#include "core/codepages.h"
#include "core/fileio.h"
#include "core/platform.h"
#include "core/profiletext.h"
#include "core/settings.h"
#include "core/textutil.h"

namespace zembrio {

namespace {

constexpr std::string_view kState = "STATE";
constexpr std::string_view kSettings = "SETTINGS";

// REPLACE is not a field of the record: it is the global ReplacementList().
struct TReplaceListKey {};
using TField = std::variant<std::string TSettings::*, int32_t TSettings::*, bool TSettings::*,
                            TReplaceListKey>;

struct TIniKey {
  std::string_view Section;
  std::string_view Name;
  TField Field;
  bool Quoted = false;  // written between double quotes so that its blanks survive
};

// Every stored key, in the order of reading and writing.
const TIniKey kKeys[] = {
    {kState, "LASTDIR", &TSettings::LASTDIR},
    {kState, "IMPIDX", &TSettings::IMPIDX},
    {kState, "WNDLEFT", &TSettings::WNDLEFT},
    {kState, "WNDTOP", &TSettings::WNDTOP},
    {kState, "WNDWIDTH", &TSettings::WNDWIDTH},
    {kState, "WNDHEIGTH", &TSettings::WNDHEIGTH},
    {kState, "WNDSPLITTER", &TSettings::WNDSPLITTER},
    {kState, "WNDMAXIMIZED", &TSettings::WNDMAXIMIZED},
    {kSettings, "ID3V1TAG", &TSettings::ID3V1TAG},
    {kSettings, "ID3V2TAG", &TSettings::ID3V2TAG},
    {kSettings, "ZEROINDEX", &TSettings::ZEROINDEX},
    {kSettings, "MASK", &TSettings::MASK},
    {kSettings, "ADDEXTENSION", &TSettings::ADDEXTENSION},
    {kSettings, "SKIPVBRHEADER", &TSettings::SKIPVBRHEADER},
    {kSettings, "XINGHEADER", &TSettings::XINGHEADER},
    {kSettings, "VCUTEXE", &TSettings::VCUTEXE},
    {kSettings, "PLAINTEXTFMT", &TSettings::PLAINTEXTFMT},
    {kSettings, "PLTXTSEP", &TSettings::PLTXTSEP, true},
    {kSettings, "XMCDSEPDISC", &TSettings::XMCDSEPDISC, true},
    {kSettings, "XMCDSEPTRACK", &TSettings::XMCDSEPTRACK, true},
    {kSettings, "ADJUSTSTART", &TSettings::ADJUSTSTART},
    {kSettings, "TIME_SHOWH", &TSettings::TIME_SHOWH},
    {kSettings, "TIME_TYPE", &TSettings::TIME_TYPE},
    {kSettings, "TIME_H", &TSettings::TIME_H, true},
    {kSettings, "TIME_M", &TSettings::TIME_M, true},
    {kSettings, "TIME_S", &TSettings::TIME_S, true},
    {kSettings, "TIME_MS", &TSettings::TIME_MS, true},
    {kSettings, "TIME_F", &TSettings::TIME_F, true},
    {kSettings, "JOINNAME", &TSettings::JOINNAME, true},
    {kSettings, "CUTDIR", &TSettings::CUTDIR, true},
    {kSettings, "SILENCEDB", &TSettings::SILENCEDB},
    {kSettings, "SILENCEMIN", &TSettings::SILENCEMIN},
    {kSettings, "SILENCEPOS", &TSettings::SILENCEPOS},
    {kSettings, "TRACKMIN", &TSettings::TRACKMIN},
    {kSettings, "HEARCUT", &TSettings::HEARCUT},
    {kSettings, "LISTCODEPAGE", &TSettings::LISTCODEPAGE},
    {kSettings, "SNAPQUIET", &TSettings::SNAPQUIET},
    {kSettings, "REPLACE", TReplaceListKey{}, true},
};

std::optional<uint64_t> ParseDigits(std::string_view digits, int base) {
  if (digits.empty()) {
    return std::nullopt;
  }
  uint64_t value = 0;
  for (char c : digits) {
    int digit = -1;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    }
    if (digit < 0) {
      return std::nullopt;
    }
    value = value * base + digit;
    if (value > 0xFFFFFFFFu) {
      return std::nullopt;
    }
  }
  return value;
}

// Decimal with an optional sign, or hexadecimal after "$" or "0x"; nothing for anything else.
// Hexadecimal takes the whole 32 bits ($FFFFFFFF is -1); decimal must fit as it is.
std::optional<int32_t> ParseIniInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::optional<uint64_t> value;
  bool hex = true;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    value = ParseDigits(text.substr(2), 16);
  } else if (!text.empty() && text.front() == '$') {
    value = ParseDigits(text.substr(1), 16);
  } else {
    hex = false;
    value = ParseDigits(text, 10);
  }
  if (!value) {
    return std::nullopt;
  }
  const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
  if (!hex && static_cast<int64_t>(*value) > limit) {
    return std::nullopt;
  }
  const auto bits = static_cast<uint32_t>(*value);
  return static_cast<int32_t>(negative ? 0u - bits : bits);
}

// The values each numeric setting can work with. One outside them (or text that is no
// number) is no setting at all: read from the file it leaves the default, as a missing key
// does; typed on the command line it is refused. The window's positions and sizes and the
// flags (any number but 0 is on) take any number.
struct TIniRange {
  std::string_view Name;
  int32_t Low;
  int32_t High;
};

const TIniRange kRanges[] = {
    {"IMPIDX", 1, 3},          {"ID3V1TAG", 0, 2},        {"ID3V2TAG", 0, 1},
    {"PLAINTEXTFMT", 0, 1},    {"ADJUSTSTART", 0, 3},     {"TIME_TYPE", 0, 1},
    {"SILENCEDB", -120, -1},   {"SILENCEMIN", 0, 600000}, {"SILENCEPOS", 0, 100},
    {"TRACKMIN", 0, 36000000}, {"HEARCUT", 100, 60000},   {"SNAPQUIET", 0, 1},
};

// Settings that take a set of values rather than a range.
struct TIniChoices {
  std::string_view Name;
  bool (*Takes)(int32_t value);
  std::string_view Text;
};

const TIniChoices kChoices[] = {
    {"LISTCODEPAGE", IsListCodePage,
     "0 (détecter) ou une page de code Windows : 874, 932, 936, 949, 950, 1250 à 1258"},
};

const TIniChoices* ChoicesOf(std::string_view name) {
  for (const TIniChoices& choices : kChoices) {
    if (choices.Name == name) {
      return &choices;
    }
  }
  return nullptr;
}

const TIniRange* RangeOf(std::string_view name) {
  for (const TIniRange& range : kRanges) {
    if (range.Name == name) {
      return &range;
    }
  }
  return nullptr;
}

bool IsListBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

void SkipListBlanks(std::string_view& text) {
  while (!text.empty() && IsListBlank(text.front())) {
    text.remove_prefix(1);
  }
}

// An entry in double quotes runs to the next lone double quote; "" inside stands for ".
std::string TakeQuotedEntry(std::string_view& text) {
  std::string entry;
  text.remove_prefix(1);
  while (!text.empty()) {
    const char c = text.front();
    text.remove_prefix(1);
    if (c != '"') {
      entry += c;
    } else if (!text.empty() && text.front() == '"') {
      entry += '"';
      text.remove_prefix(1);
    } else {
      break;
    }
  }
  return entry;
}

std::string TakeBareEntry(std::string_view& text) {
  size_t length = 0;
  while (length < text.size() && !IsListBlank(text[length]) && text[length] != ',') {
    ++length;
  }
  std::string entry(text.substr(0, length));
  text.remove_prefix(length);
  return entry;
}

TPairList ParsePairList(std::string_view text) {
  TPairList list;
  SkipListBlanks(text);
  while (!text.empty()) {
    list.push_back(text.front() == '"' ? TakeQuotedEntry(text) : TakeBareEntry(text));
    SkipListBlanks(text);
    if (!text.empty() && text.front() == ',') {
      text.remove_prefix(1);
      SkipListBlanks(text);
    }
  }
  return list;
}

// Stored entries are hex and go out bare; an entry from a hand-edited file that the
// reader could not take back bare goes out quoted.
std::string FormatPairList(const TPairList& list) {
  std::string text;
  bool first = true;
  for (const std::string& entry : list) {
    if (!first) {
      text += ',';
    }
    first = false;
    const bool needsQuotes = entry.empty() || std::ranges::any_of(entry, [](char c) {
                               return IsListBlank(c) || c == ',' || c == '"';
                             });
    if (!needsQuotes) {
      text += entry;
      continue;
    }
    text += '"';
    for (char c : entry) {
      text += c;
      if (c == '"') {
        text += '"';
      }
    }
    text += '"';
  }
  return text;
}

// False when a numeric setting's text is no number or lies outside its range: the field
// keeps what it held.
bool AssignValue(const TIniKey& key, const std::string& value) {
  TSettings& s = Settings();
  if (auto text = std::get_if<std::string TSettings::*>(&key.Field)) {
    s.** text = value;
  } else if (auto number = std::get_if<int32_t TSettings::*>(&key.Field)) {
    const std::optional<int32_t> parsed = ParseIniInteger(value);
    const TIniRange* range = RangeOf(key.Name);
    const TIniChoices* choices = ChoicesOf(key.Name);
    if (!parsed || (range && (*parsed < range->Low || *parsed > range->High)) ||
        (choices && !choices->Takes(*parsed))) {
      return false;
    }
    s.** number = *parsed;
  } else if (auto flag = std::get_if<bool TSettings::*>(&key.Field)) {
    const std::optional<int32_t> parsed = ParseIniInteger(value);
    if (!parsed) {
      return false;
    }
    s.** flag = *parsed != 0;
  } else {
    ReplacementList() = ParsePairList(value);
  }
  return true;
}

std::string FormatValue(const TIniKey& key) {
  const TSettings& s = Settings();
  std::string value;
  if (auto text = std::get_if<std::string TSettings::*>(&key.Field)) {
    value = s.**text;
  } else if (auto number = std::get_if<int32_t TSettings::*>(&key.Field)) {
    value = std::to_string(s.**number);
  } else if (auto flag = std::get_if<bool TSettings::*>(&key.Field)) {
    value = s.**flag ? "1" : "0";
  } else {
    value = FormatPairList(ReplacementList());
  }
  return key.Quoted ? '"' + value + '"' : value;
}

void ResetState(TSettings& s) {
  s.LASTDIR.clear();
  s.IMPIDX = 1;
  s.WNDLEFT = s.WNDTOP = s.WNDWIDTH = s.WNDHEIGTH = s.WNDSPLITTER = -1;
  s.WNDMAXIMIZED = false;
}

}  // namespace

TSettingsFiles DefaultSettingsFiles() {
  return {DefaultIniPath(), UserIniPath()};
}

void LoadSettings() {
  LoadSettingsFrom(SettingsReadPath(DefaultSettingsFiles()));
}

TSaveOutcome SaveSettings(bool includeSettings) {
  return SaveSettingsIn(DefaultSettingsFiles(), includeSettings);
}

bool CanWriteSettingsFile(const std::string& path) {
  if (FileExists(path)) {
    // The file is replaced through a new one beside it: its folder must take files too.
    const std::string folder = ExtractFilePath(path);
    return access(path.c_str(), W_OK) == 0 && access(folder.c_str(), W_OK) == 0;
  }
  // Missing folders are created under the nearest one that exists.
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code error;
  while (!folder.empty() && !std::filesystem::exists(folder, error)) {
    folder = folder.parent_path();
  }
  return !folder.empty() && std::filesystem::is_directory(folder, error) &&
         access(folder.c_str(), W_OK) == 0;
}

std::string SettingsReadPath(const TSettingsFiles& files) {
  if (files.Fallback != files.Preferred && !CanWriteSettingsFile(files.Preferred) &&
      IsRegularFile(files.Fallback)) {
    return files.Fallback;
  }
  return files.Preferred;
}

TSaveOutcome SaveSettingsIn(const TSettingsFiles& files, bool includeSettings) {
  if (CanWriteSettingsFile(files.Preferred) && SaveSettingsTo(files.Preferred, includeSettings)) {
    return TSaveOutcome::Saved;
  }
  if (files.Fallback == files.Preferred) {
    return TSaveOutcome::Failed;
  }
  if (!FileExists(files.Fallback) && IsRegularFile(files.Preferred)) {
    try {
      const std::string folder = ExtractFilePath(files.Fallback);
      if (!folder.empty() && !DirectoryExists(folder)) {
        ForceDirectories(folder);
      }
      WriteFileAtomically(files.Fallback, ReadWholeFile(files.Preferred));
    } catch (const std::exception&) {
      // Saving below tells whether the fallback can be written at all.
    }
  }
  return SaveSettingsTo(files.Fallback, includeSettings) ? TSaveOutcome::SavedToFallback
                                                         : TSaveOutcome::Failed;
}

void LoadSettingsFrom(const std::string& iniPath) {
  ResetState(Settings());
  TPairList workingCopy;
  ApplyDefaults(workingCopy);
  // A FIFO or a device would block the read, or never end it.
  if (!IsRegularFile(iniPath)) {
    return;
  }
  try {
    const TProfileText profile(ReadWholeFile(iniPath));
    for (const TIniKey& key : kKeys) {
      if (std::optional<std::string> value = profile.Read(key.Section, key.Name)) {
        AssignValue(key, *value);
      }
    }
  } catch (const std::exception&) {
    // A missing or unreadable file leaves the defaults; settings problems are never shown.
  }
}

bool SaveSettingsTo(const std::string& iniPath, bool includeSettings) {
  try {
    // An existing file that cannot be read is not replaced: its other lines would be lost.
    TProfileText profile(FileExists(iniPath) ? ReadWholeFile(iniPath) : std::string());
    for (const TIniKey& key : kKeys) {
      if (includeSettings || key.Section == kState) {
        profile.Write(key.Section, key.Name, FormatValue(key));
      }
    }
    const std::string folder = ExtractFilePath(iniPath);
    if (!folder.empty() && !DirectoryExists(folder)) {
      ForceDirectories(folder);
    }
    WriteFileAtomically(iniPath, profile.Text());
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

TSettingResult SetSettingFromText(const std::string& key, const std::string& value) {
  for (const TIniKey& candidate : kKeys) {
    if (SameTextAsciiCase(candidate.Name, key)) {
      return AssignValue(candidate, TProfileText::CleanValue(value)) ? TSettingResult::Set
                                                                     : TSettingResult::BadValue;
    }
  }
  return TSettingResult::UnknownKey;
}

std::string SettingValuesText(const std::string& key) {
  for (const TIniKey& candidate : kKeys) {
    if (!SameTextAsciiCase(candidate.Name, key)) {
      continue;
    }
    if (const TIniRange* range = RangeOf(candidate.Name)) {
      return "un nombre de " + std::to_string(range->Low) + " à " + std::to_string(range->High);
    }
    if (const TIniChoices* choices = ChoicesOf(candidate.Name)) {
      return std::string(choices->Text);
    }
    const bool numeric = std::holds_alternative<int32_t TSettings::*>(candidate.Field) ||
                         std::holds_alternative<bool TSettings::*>(candidate.Field);
    return numeric ? "un nombre" : "";
  }
  return {};
}

}  // namespace zembrio
