// The settings file as anyone may have edited it: reading never fails, and what is saved
// back reads again into the same record (a second save changes nothing).
#include <cstdio>

#include "core/fileio.h"
#include "core/inifile.h"
#include "fuzzinput.h"

using namespace zembrio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string ini = fuzz::Scratch().File("zembrio.ini");
  fuzz::ResetSettings();
  fuzz::WriteBytes(ini, data, size);

  LoadSettingsFrom(ini);
  fuzz::Check(SaveSettingsTo(ini, true), "first save");
  const std::string saved = ReadWholeFile(ini);

  fuzz::ResetSettings();
  LoadSettingsFrom(ini);
  fuzz::Check(SaveSettingsTo(ini, true), "second save");
  const std::string resaved = ReadWholeFile(ini);
  if (resaved != saved) {
    std::fprintf(stderr, "--- first save:\n%s\n--- second save:\n%s\n", saved.c_str(),
                 resaved.c_str());
    fuzz::Fail("saving what was read back changes nothing");
  }
  return 0;
}
