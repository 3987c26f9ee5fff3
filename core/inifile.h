// The settings file: sections STATE and SETTINGS of KEY=value lines. Reading never fails
// loudly; writing replaces only the keys it writes and keeps every other line of the file.
#pragma once

#include <string>

namespace zembrio {

// The program's settings file and the per-user one that takes its place when it cannot be
// written (a copy beside an executable that an administrator installed with its settings).
struct TSettingsFiles {
  std::string Preferred;
  std::string Fallback;
};
// {DefaultIniPath(), UserIniPath()}.
TSettingsFiles DefaultSettingsFiles();

enum class TSaveOutcome { Saved, SavedToFallback, Failed };

// Fills the whole record from defaults and the settings file (see SettingsReadPath).
void LoadSettings();
// Writes STATE, and SETTINGS when includeSettings, as SaveSettingsIn does; silent.
TSaveOutcome SaveSettings(bool includeSettings);

// The file the settings are read from: the preferred one, unless it cannot be written and
// the fallback exists (it then holds what was saved in its place).
std::string SettingsReadPath(const TSettingsFiles& files);
// Saves into the preferred file; when it cannot be written, into the fallback, which starts
// as a copy of the preferred file so that the settings kept there are not lost.
TSaveOutcome SaveSettingsIn(const TSettingsFiles& files, bool includeSettings);
// Whether path can be written or created with its missing folders by this user (a folder
// that is a file, a read-only file or folder cannot).
bool CanWriteSettingsFile(const std::string& path);

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
