// A stand-in for libFuzzer in the ordinary and sanitizer builds: each target runs over the
// files it is given and over a fixed number of mutations of each, the same on every run, so
// the targets keep building with the engines they exercise and a fault they would find in
// the test data's neighbourhood shows up in the test run, not only in a fuzzing session.
//   <target> [--mutations=N] FILE...
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// The fuzzing runs cap inputs at 64 KiB: larger ones only slow the replay down.
constexpr size_t kMaxInput = 65536;

std::vector<uint8_t> ReadInput(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::perror(path);
    std::exit(2);
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (bytes.size() > kMaxInput)
    bytes.resize(kMaxInput);
  return bytes;
}

// A few of libFuzzer's simplest moves: a byte changed, a stretch cut out, a stretch
// repeated, the end cut off.
void Mutate(std::vector<uint8_t>& bytes, std::mt19937& random) {
  const int moves = 1 + static_cast<int>(random() % 4);
  for (int move = 0; move < moves && !bytes.empty(); ++move) {
    const size_t at = random() % bytes.size();
    const size_t length = std::min<size_t>(1 + random() % 64, bytes.size() - at);
    switch (random() % 4) {
      case 0:
        bytes[at] = static_cast<uint8_t>(random());
        break;
      case 1:
        bytes.erase(bytes.begin() + at, bytes.begin() + at + length);
        break;
      case 2: {
        const std::vector<uint8_t> stretch(bytes.begin() + at, bytes.begin() + at + length);
        if (bytes.size() + stretch.size() <= kMaxInput)
          bytes.insert(bytes.begin() + at, stretch.begin(), stretch.end());
        break;
      }
      default:
        bytes.resize(at);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  int mutations = 100;
  size_t runs = 0;
  for (int arg = 1; arg < argc; ++arg) {
    const std::string_view text = argv[arg];
    if (text.rfind("--mutations=", 0) == 0) {
      mutations = std::stoi(std::string(text.substr(12)));
      continue;
    }
    const std::vector<uint8_t> input = ReadInput(argv[arg]);
    LLVMFuzzerTestOneInput(input.data(), input.size());
    std::mt19937 random(static_cast<uint32_t>(arg));
    for (int round = 0; round < mutations; ++round) {
      std::vector<uint8_t> mutated = input;
      Mutate(mutated, random);
      LLVMFuzzerTestOneInput(mutated.data(), mutated.size());
    }
    runs += 1 + static_cast<size_t>(mutations);
  }
  std::printf("%zu runs\n", runs);
  return 0;
}
