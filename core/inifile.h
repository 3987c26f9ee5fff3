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

// Reads one value as the settings reader does (used by the CLI's --set KEY=VALUE);
// false when KEY is not a SETTINGS or STATE key.
bool SetSettingFromText(const std::string& key, const std::string& value);

}  // namespace zembrio
