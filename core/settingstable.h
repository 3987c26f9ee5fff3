// Every stored setting in one table: its section and key, the field of the record it fills,
// its default and the values it takes. The settings file's reader and writer, --set, the
// settings dialog's limits and the settings tables of the documentation all read it, so a
// new setting is one row here and one field in TSettings.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "core/settings.h"

namespace zembrio {

inline constexpr std::string_view kStateSection = "STATE";
inline constexpr std::string_view kSettingsSection = "SETTINGS";

// REPLACE is not a field of the record: it is the global ReplacementList().
struct TReplaceListField {};
using TSettingField = std::variant<std::string TSettings::*, int32_t TSettings::*,
                                   bool TSettings::*, TReplaceListField>;

// The values a number takes when they are not a plain range.
struct TSettingChoices {
  bool (*Takes)(int32_t value);
  std::string_view Text;     // how a refusal names them
  std::string_view Meaning;  // how the documentation names them
};

struct TSettingRange {
  int32_t Low;
  int32_t High;
};

struct TSettingRow {
  std::string_view Section;
  std::string_view Name;
  TSettingField Field;
  // The value of a fresh record: a text's, or a number's (a flag's 0 or 1).
  std::string_view TextDefault{};
  int32_t NumberDefault = 0;
  // A number outside these is no setting at all (read from the file it leaves the default,
  // typed on the command line it is refused); without either, any number is taken.
  std::optional<TSettingRange> Range{};
  const TSettingChoices* Choices = nullptr;
  bool Quoted = false;  // written between double quotes so that its blanks survive
  // A text whose default is found when the program starts (the cutter beside it or on the
  // PATH); "Restaurer" keeps what the user chose and fills it only when it is empty.
  std::string (*FoundDefault)() = nullptr;
  std::string_view Meaning{};  // one line for the documentation's table
};

// Every stored key, in the order of reading and writing.
std::span<const TSettingRow> SettingRows();
// The row of a key, its letters compared without case; nullptr for any other name.
const TSettingRow* FindSettingRow(std::string_view name);
// The row of a number of the record; nullptr for a field that is not stored.
const TSettingRow* RowOfField(int32_t TSettings::*field);

bool IsTextSetting(const TSettingRow& row);
bool IsNumberSetting(const TSettingRow& row);  // numbers and flags

// A number's or a flag's value (a flag reads 0 or 1) and its change (any number but 0 is on).
int32_t SettingNumber(const TSettingRow& row, const TSettings& record);
void SetSettingNumber(const TSettingRow& row, TSettings& record, int32_t value);
// A text's value and its change.
const std::string& SettingText(const TSettingRow& row, const TSettings& record);
void SetSettingText(const TSettingRow& row, TSettings& record, std::string value);

// Whether a number lies within the values of its row.
bool TakesNumber(const TSettingRow& row, int32_t value);
// What a number takes, for a message ("un nombre de 0 à 3"); empty for a text.
std::string SettingValuesText(const TSettingRow& row);

// Puts the value of a fresh record into the record's field (a found default stays empty);
// nothing for REPLACE, whose defaults are AddDefaultPairs'.
void SetSettingDefault(const TSettingRow& row, TSettings& record);

}  // namespace zembrio
