#include "flactools.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "framebuilder.h"

namespace zembrio::test {

bool HaveTools(const std::vector<std::string>& tools) {
  for (const std::string& tool : tools) {
    if (Shell("command -v " + tool + " >/dev/null 2>&1") != 0)
      return false;
  }
  return true;
}

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellErrors(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1 >/dev/null").c_str(), "r"),
                                             pclose);
  std::string text;
  char buffer[512];
  while (pipe && fgets(buffer, sizeof buffer, pipe.get()) != nullptr)
    text += buffer;
  return text;
}

void MakeFlac(const SourceSpec& spec, const std::string& path) {
  const std::string wav = path + ".wav";
  if (Shell("sox -D -R -n -r " + std::to_string(spec.Rate) + " -c " +
            std::to_string(spec.Channels) + " -b " + std::to_string(spec.Bits) + " " + wav +
            " synth " + std::to_string(spec.Seconds) + " pinknoise vol 0.5") != 0 ||
      Shell("flac -s -f --no-padding --blocksize=" + std::to_string(spec.BlockSize) +
            " --channel-map=none -o " + path + " " + wav) != 0) {
    throw std::runtime_error("cannot make " + path);
  }
  std::remove(wav.c_str());
}

std::vector<uint8_t> DecodeRaw(const std::string& path, uint64_t first, uint64_t end) {
  const std::string raw = path + ".raw";
  std::string command = "flac -s -d -f --force-raw-format --endian=little --sign=signed";
  if (first != 0)
    command += " --skip=" + std::to_string(first);
  if (end != 0)
    command += " --until=" + std::to_string(end);
  if (Shell(command + " -o " + raw + " " + path) != 0)
    return {};
  std::vector<uint8_t> bytes = ReadFile(raw);
  std::remove(raw.c_str());
  return bytes;
}

bool FlacTestPasses(const std::string& path) {
  return Shell("flac -s -t " + path + " 2>/dev/null") == 0;
}

TFlacStreamInfo StreamInfoOf(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFile(path);
  if (bytes.size() < 8 + kFlacStreamInfoSize)
    return {};
  return ParseStreamInfo(bytes.data() + 8);
}

}  // namespace zembrio::test
