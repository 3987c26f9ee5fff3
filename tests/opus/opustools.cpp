#include "opustools.h"

#include <opus/opusfile.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

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

std::string ShellOutput(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
  std::string text;
  char buffer[512];
  while (pipe && fgets(buffer, sizeof buffer, pipe.get()) != nullptr)
    text += buffer;
  return text;
}

void MakeOpus(OpusKind kind, double seconds, const std::string& path, const std::string& extra) {
  const std::string wav = path + ".wav";
  const std::string length = std::to_string(seconds);
  const std::string signal =
      kind == OpusKind::Music ? "-r 44100 -c 2 " + wav + " synth " + length + " pinknoise synth " +
                                    length + " sine mix 330 vol 0.5"
                              : "-r 16000 -c 1 " + wav + " synth " + length +
                                    " sawtooth 110-180 sinc 300-3400 " + "vol 0.3 tremolo 3.5 90";
  const std::string encode =
      kind == OpusKind::Music ? "--bitrate 128 --music" : "--bitrate 16 --speech";
  if (Shell("sox -D -R -n -b 16 " + signal + " 2>/dev/null") != 0 ||
      Shell("opusenc --quiet " + encode + " " + extra + " " + wav + " " + path) != 0) {
    throw std::runtime_error("cannot make " + path);
  }
  std::remove(wav.c_str());
}

Decoded DecodeOpus(const std::string& path) {
  Decoded decoded;
  int error = 0;
  std::unique_ptr<OggOpusFile, void (*)(OggOpusFile*)> file(op_open_file(path.c_str(), &error),
                                                            op_free);
  if (!file)
    return decoded;
  decoded.Opened = true;
  decoded.Channels = op_channel_count(file.get(), -1);
  decoded.Total = op_pcm_total(file.get(), -1);
  std::vector<float> buffer(5760 * 8);
  for (;;) {
    const int frames =
        op_read_float(file.get(), buffer.data(), static_cast<int>(buffer.size()), nullptr);
    if (frames <= 0)
      break;
    // Every link of the files judged here has the first link's channels.
    decoded.Samples.insert(decoded.Samples.end(), buffer.begin(),
                           buffer.begin() + frames * decoded.Channels);
  }
  return decoded;
}

int64_t FfmpegFrames(const std::string& path, int channels) {
  const std::string raw = path + ".s16";
  const std::string errors =
      ShellOutput("ffmpeg -nostdin -v error -y -i '" + path + "' -f s16le '" + raw + "'");
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(raw.c_str(), "rb"), std::fclose);
  int64_t bytes = -1;
  if (file && std::fseek(file.get(), 0, SEEK_END) == 0)
    bytes = std::ftell(file.get());
  std::remove(raw.c_str());
  if (!errors.empty() || bytes < 0 || channels <= 0)
    return -1;
  return bytes / (2 * channels);
}

std::vector<std::string> OpusComments(const std::string& path, const std::string& name) {
  std::vector<std::string> values;
  int error = 0;
  std::unique_ptr<OggOpusFile, void (*)(OggOpusFile*)> file(op_open_file(path.c_str(), &error),
                                                            op_free);
  if (!file)
    return values;
  const OpusTags* tags = op_tags(file.get(), -1);
  const int count = opus_tags_query_count(tags, name.c_str());
  for (int i = 0; i < count; ++i)
    values.emplace_back(opus_tags_query(tags, name.c_str(), i));
  return values;
}

}  // namespace zembrio::test
