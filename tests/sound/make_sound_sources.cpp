// Makes the sound tests' sources once per ctest run, in the folder given, for every test
// process to read (the tests find it through ZEMBRIO_SOUND_SOURCES).
#include <exception>
#include <filesystem>
#include <iostream>

#include "soundsources.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_sound_sources FOLDER\n";
    return 2;
  }
  try {
    std::filesystem::create_directories(argv[1]);
    zembrio::test::SoundSources::Make(std::string(argv[1]) + "/");
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
