// The Linux adaptations of the program's places: where the executable, the settings file and
// the external Ogg cutter live, and the path rules. Each rule lives here and only here.
#pragma once

#include <string>

namespace zembrio {

constexpr char kPathDelimiter = '/';

// Full path of the running executable.
std::string ExecutablePath();
// Folder of the executable with a trailing "/".
std::string ExecutableFolder();
// The executable's path with ".ini" when that file exists or its folder is writable and not
// the system's (see IsSystemProgramFolder); otherwise $XDG_CONFIG_HOME/zembrio/zembrio.ini
// (~/.config/zembrio/zembrio.ini).
std::string DefaultIniPath();
// The per-user settings file: $XDG_CONFIG_HOME/zembrio/zembrio.ini.
std::string UserIniPath();
// A folder the package manager or an installation owns: /usr/... (/usr/bin, /usr/local/bin),
// /bin, /sbin. Settings are never created there, even when it is writable (as for root).
bool IsSystemProgramFolder(const std::string& folder);
// "vcut" beside the executable when it exists; else vcut found on PATH; else beside it.
std::string DefaultVcutPath();
// The same two rules for an executable at another place.
std::string IniPathFor(const std::string& executablePath);
std::string VcutPathFor(const std::string& executableFolder);

// "Relative unless it is an absolute path" (CUTDIR, JOINNAME).
bool IsAbsolutePath(const std::string& path);
std::string WithTrailingDelimiter(const std::string& folder);
// Extension including its dot ("" when none), as in the path.
std::string ExtractFileExt(const std::string& path);
std::string ChangeFileExt(const std::string& path, const std::string& ext);
std::string ExtractFilePath(const std::string& path);  // folder with trailing "/"
std::string ExtractFileName(const std::string& path);
// Absolute, normalised path ("." and ".." resolved lexically).
std::string ExpandFileName(const std::string& path);

}  // namespace zembrio
