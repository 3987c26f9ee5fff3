#include "core/platform.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace zembrio {

namespace {

constexpr const char* kVcutName = "vcut";

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return home;
  }
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return {};
}

std::string ConfigFolder() {
  // A relative XDG_CONFIG_HOME is invalid and must be ignored.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
    return WithTrailingDelimiter(xdg);
  }
  return WithTrailingDelimiter(HomeFolder()) + ".config/";
}

std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) {
    return {};
  }
  std::string_view rest = path;
  while (true) {
    const size_t colon = rest.find(':');
    std::string folder(rest.substr(0, colon));
    if (folder.empty()) {
      folder = ".";  // an empty PATH element means the current folder
    }
    const std::string candidate = WithTrailingDelimiter(folder) + name;
    if (IsExecutableFile(candidate)) {
      return ExpandFileName(candidate);
    }
    if (colon == std::string_view::npos) {
      return {};
    }
    rest.remove_prefix(colon + 1);
  }
}

// Position of the last "/" (npos when none).
size_t LastDelimiter(const std::string& path) {
  return path.rfind(kPathDelimiter);
}

}  // namespace

bool IsSystemProgramFolder(const std::string& folder) {
  const std::string normalised = WithTrailingDelimiter(ExpandFileName(folder));
  return normalised.starts_with("/usr/") || normalised == "/bin/" || normalised == "/sbin/";
}

std::string ExecutablePath() {
  std::error_code error;
  const std::filesystem::path target = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : target.string();
}

std::string ExecutableFolder() {
  return ExtractFilePath(ExecutablePath());
}

std::string DefaultIniPath() {
  return IniPathFor(ExecutablePath());
}

std::string DefaultVcutPath() {
  return VcutPathFor(ExecutableFolder());
}

std::string IniPathFor(const std::string& executablePath) {
  if (!executablePath.empty()) {
    // A portable copy keeps its settings beside itself. An installed copy's folder is the
    // system's and writable only for root, who would otherwise leave a settings file among
    // the programs that no package owns; a file someone put there is still read.
    const std::string besideExecutable = ChangeFileExt(executablePath, ".ini");
    const std::string folder = ExtractFilePath(executablePath);
    if (access(besideExecutable.c_str(), F_OK) == 0 ||
        (!IsSystemProgramFolder(folder) && access(folder.c_str(), W_OK) == 0)) {
      return besideExecutable;
    }
  }
  return UserIniPath();
}

std::string UserIniPath() {
  return ConfigFolder() + "zembrio/zembrio.ini";
}

std::string VcutPathFor(const std::string& executableFolder) {
  const std::string beside = WithTrailingDelimiter(executableFolder) + kVcutName;
  if (access(beside.c_str(), F_OK) == 0) {
    return beside;
  }
  if (std::string found = FindOnPath(kVcutName); !found.empty()) {
    return found;
  }
  return beside;
}

bool IsAbsolutePath(const std::string& path) {
  return !path.empty() && path.front() == kPathDelimiter;
}

std::string WithTrailingDelimiter(const std::string& folder) {
  // An empty folder stays empty (the current folder), never the root.
  if (folder.empty() || folder.back() == kPathDelimiter) {
    return folder;
  }
  return folder + kPathDelimiter;
}

std::string ExtractFileExt(const std::string& path) {
  constexpr char kExtensionOrFolder[] = {'.', kPathDelimiter, '\0'};
  const size_t dot = path.find_last_of(kExtensionOrFolder);
  if (dot == std::string::npos || path[dot] != '.') {
    return {};
  }
  return path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  const std::string current = ExtractFileExt(path);
  return path.substr(0, path.size() - current.size()) + ext;
}

std::string ExtractFilePath(const std::string& path) {
  const size_t slash = LastDelimiter(path);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& path) {
  const size_t slash = LastDelimiter(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExpandFileName(const std::string& path) {
  if (path.empty()) {
    return {};
  }
  std::string full = path;
  if (!IsAbsolutePath(full)) {
    std::error_code error;
    const std::string current = std::filesystem::current_path(error).string();
    if (error || !IsAbsolutePath(current)) {
      return path;  // the current folder is gone: the name cannot be made absolute
    }
    full = WithTrailingDelimiter(current) + full;
  }
  std::vector<std::string> parts;
  size_t start = 1;
  while (start <= full.size()) {
    size_t end = full.find(kPathDelimiter, start);
    if (end == std::string::npos) {
      end = full.size();
    }
    const std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) {
        parts.pop_back();
      }
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string& part : parts) {
    result += kPathDelimiter + part;
  }
  if (result.empty()) {
    return std::string(1, kPathDelimiter);
  }
  // A folder named with a trailing "/" keeps it.
  if (full.back() == kPathDelimiter) {
    result += kPathDelimiter;
  }
  return result;
}

}  // namespace zembrio
