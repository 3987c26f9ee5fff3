// The settings file as anyone may have edited it: reading never fails, saving works, and
// what was saved reads back into the same record. Bare texts (MASK, LASTDIR, VCUTEXE) are
// trimmed by design on every read, so only the quoted texts, the numbers and the
// replacement list are compared (every one the table of settings lists), and a line break inside a
// value (a lone CR is read as part of the line) is dropped on writing so that a value can never add
// a line.
#include <cstdio>

#include "core/fileio.h"
#include "core/inifile.h"
#include "core/settingstable.h"
#include "fuzzinput.h"

using namespace zembrio;

namespace {

struct Snapshot {
  TSettings Record;
  TPairList Pairs;
};

Snapshot Take() {
  return {Settings(), ReplacementList()};
}

std::string WithoutBreaks(std::string text) {
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
  return text;
}

// The texts that must read back as they were: the quoted ones (bare ones are trimmed).
bool KeepsItsText(const TSettingRow& row) {
  return IsTextSetting(row) && row.Quoted;
}

// What the record should read back as after a save.
Snapshot AsSaved(Snapshot snapshot) {
  for (const TSettingRow& row : SettingRows()) {
    if (KeepsItsText(row))
      SetSettingText(row, snapshot.Record, WithoutBreaks(SettingText(row, snapshot.Record)));
  }
  for (std::string& pair : snapshot.Pairs)
    pair = WithoutBreaks(pair);
  return snapshot;
}

void CheckSame(const Snapshot& a, const Snapshot& b) {
  for (const TSettingRow& row : SettingRows()) {
    if (IsNumberSetting(row)) {
      fuzz::Check(SettingNumber(row, a.Record) == SettingNumber(row, b.Record),
                  "numbers and flags survive");
    } else if (KeepsItsText(row)) {
      fuzz::Check(SettingText(row, a.Record) == SettingText(row, b.Record), "quoted texts survive");
    }
  }
  fuzz::Check(a.Pairs == b.Pairs, "replacement list survives");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string ini = fuzz::Scratch().File("zembrio.ini");
  fuzz::ResetSettings();
  fuzz::WriteBytes(ini, data, size);

  LoadSettingsFrom(ini);
  const Snapshot read = Take();
  fuzz::Check(SaveSettingsTo(ini, true), "first save");
  const std::string saved = ReadWholeFile(ini);

  fuzz::ResetSettings();
  LoadSettingsFrom(ini);
  CheckSame(AsSaved(read), Take());
  // Saving again without a change rewrites the same text.
  Settings() = read.Record;
  ReplacementList() = read.Pairs;
  fuzz::Check(SaveSettingsTo(ini, true), "second save");
  fuzz::Check(ReadWholeFile(ini) == saved, "a second save changes nothing");
  return 0;
}
