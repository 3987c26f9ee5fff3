#include "core/inifile.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "core/fileio.h"
#include "core/platform.h"
#include "core/profiletext.h"
#include "core/settings.h"
#include "core/settingstable.h"
#include "core/textutil.h"

namespace zembrio {

namespace {

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

// False when a number's text is no number or lies outside the values of its row: the field
// keeps what it held, as it does for a missing key.
bool AssignValue(const TSettingRow& row, const std::string& value) {
  TSettings& s = Settings();
  if (IsTextSetting(row)) {
    SetSettingText(row, s, value);
    return true;
  }
  if (!IsNumberSetting(row)) {
    ReplacementList() = ParsePairList(value);
    return true;
  }
  const std::optional<int32_t> parsed = ParseIniInteger(value);
  if (!parsed || !TakesNumber(row, *parsed)) {
    return false;
  }
  SetSettingNumber(row, s, *parsed);
  return true;
}

std::string FormatValue(const TSettingRow& row) {
  const TSettings& s = Settings();
  std::string value;
  if (IsTextSetting(row)) {
    value = SettingText(row, s);
  } else if (IsNumberSetting(row)) {
    value = std::to_string(SettingNumber(row, s));
  } else {
    value = FormatPairList(ReplacementList());
  }
  return row.Quoted ? '"' + value + '"' : value;
}

void ResetState(TSettings& s) {
  for (const TSettingRow& row : SettingRows()) {
    if (row.Section == kStateSection) {
      SetSettingDefault(row, s);
    }
  }
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
    for (const TSettingRow& row : SettingRows()) {
      if (std::optional<std::string> value = profile.Read(row.Section, row.Name)) {
        AssignValue(row, *value);
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
    for (const TSettingRow& row : SettingRows()) {
      if (includeSettings || row.Section == kStateSection) {
        profile.Write(row.Section, row.Name, FormatValue(row));
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
  const TSettingRow* row = FindSettingRow(key);
  if (!row) {
    return TSettingResult::UnknownKey;
  }
  return AssignValue(*row, TProfileText::CleanValue(value)) ? TSettingResult::Set
                                                            : TSettingResult::BadValue;
}

std::string SettingValuesText(const std::string& key) {
  const TSettingRow* row = FindSettingRow(key);
  return row ? SettingValuesText(*row) : std::string();
}

}  // namespace zembrio
