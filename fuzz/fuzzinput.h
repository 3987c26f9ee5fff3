// What the fuzz targets share: a scratch folder of the process, the writing of an input
// into a file there, a failure that libFuzzer records as a crash, and the settings every
// run starts from.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "core/settings.h"
#include "core/textutil.h"

namespace zembrio::fuzz {

// A folder of this process under the system temporary folder, removed at exit.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zembrio-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    path_ = pattern + "/";
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

inline ScratchDir& Scratch() {
  static ScratchDir dir;
  return dir;
}

inline void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out.flush()) {
    std::perror(path.c_str());
    std::abort();
  }
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A broken promise of the code under test: libFuzzer keeps the input as a crash.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline void Check(bool condition, const char* what) {
  if (!condition)
    Fail(what);
}

// Every run starts from the default record and the default replacement pairs.
inline void ResetSettings() {
  Settings() = TSettings{};
  ReplacementList() = DefaultPairs();
}

}  // namespace zembrio::fuzz
