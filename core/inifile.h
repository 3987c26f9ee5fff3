// The settings file: sections STATE and SETTINGS of KEY=value lines. Reading never fails
// loudly; writing replaces only the keys it writes and keeps every other line of the file.
#pragma once

#include <string>

namespace zembrio {

// Fills the whole record from defaults and the settings file at DefaultIniPath().
void LoadSettings();
// Writes STATE, and SETTINGS when includeSettings, into DefaultIniPath(); silent on failure.
void SaveSettings(bool includeSettings);

// The same with an explicit file (the CLI's --ini, the tests).
void LoadSettingsFrom(const std::string& iniPath);
// Returns false when the save failed (the record is unchanged either way).
bool SaveSettingsTo(const std::string& iniPath, bool includeSettings);

enum class TSettingResult { Set, UnknownKey, BadValue };

// Reads one value as the settings reader does (used by the CLI's --set KEY=VALUE):
// UnknownKey when KEY is not a SETTINGS or STATE key, BadValue (the setting unchanged) when
// a numeric setting's value is no number or lies outside the values it takes.
TSettingResult SetSettingFromText(const std::string& key, const std::string& value);
// What a numeric setting takes, for a message ("un nombre de 0 à 3"); empty for a text.
std::string SettingValuesText(const std::string& key);

}  // namespace zembrio
