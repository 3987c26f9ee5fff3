// The settings file as anyone may have edited it: reading never fails, saving works, and
// what was saved reads back into the same record. Bare texts (MASK, LASTDIR, VCUTEXE) are
// trimmed by design on every read, so only the quoted texts, the numbers and the
// replacement list are compared, and a line break inside a value (a lone CR is read as part
// of the line) is dropped on writing so that a value can never add a line.
#include <cstdio>

#include "core/fileio.h"
#include "core/inifile.h"
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

// What the record should read back as after a save.
Snapshot AsSaved(Snapshot snapshot) {
  TSettings& s = snapshot.Record;
  for (std::string* text : {&s.PLTXTSEP, &s.XMCDSEPDISC, &s.XMCDSEPTRACK, &s.TIME_H, &s.TIME_M,
                            &s.TIME_S, &s.TIME_MS, &s.TIME_F, &s.JOINNAME, &s.CUTDIR}) {
    *text = WithoutBreaks(*text);
  }
  for (std::string& pair : snapshot.Pairs)
    pair = WithoutBreaks(pair);
  return snapshot;
}

void CheckSame(const Snapshot& a, const Snapshot& b) {
  const TSettings& x = a.Record;
  const TSettings& y = b.Record;
  fuzz::Check(x.IMPIDX == y.IMPIDX && x.WNDLEFT == y.WNDLEFT && x.WNDTOP == y.WNDTOP &&
                  x.WNDWIDTH == y.WNDWIDTH && x.WNDHEIGTH == y.WNDHEIGTH &&
                  x.WNDSPLITTER == y.WNDSPLITTER && x.WNDMAXIMIZED == y.WNDMAXIMIZED,
              "window state survives");
  fuzz::Check(x.ID3V1TAG == y.ID3V1TAG && x.ZEROINDEX == y.ZEROINDEX &&
                  x.ADDEXTENSION == y.ADDEXTENSION && x.SKIPVBRHEADER == y.SKIPVBRHEADER &&
                  x.PLAINTEXTFMT == y.PLAINTEXTFMT && x.ADJUSTSTART == y.ADJUSTSTART &&
                  x.TIME_SHOWH == y.TIME_SHOWH && x.TIME_TYPE == y.TIME_TYPE &&
                  x.XINGHEADER == y.XINGHEADER && x.SILENCEDB == y.SILENCEDB &&
                  x.SILENCEMIN == y.SILENCEMIN && x.SILENCEPOS == y.SILENCEPOS &&
                  x.TRACKMIN == y.TRACKMIN && x.HEARCUT == y.HEARCUT &&
                  x.LISTCODEPAGE == y.LISTCODEPAGE && x.SNAPQUIET == y.SNAPQUIET,
              "numbers and flags survive");
  fuzz::Check(x.PLTXTSEP == y.PLTXTSEP && x.XMCDSEPDISC == y.XMCDSEPDISC &&
                  x.XMCDSEPTRACK == y.XMCDSEPTRACK && x.TIME_H == y.TIME_H &&
                  x.TIME_M == y.TIME_M && x.TIME_S == y.TIME_S && x.TIME_MS == y.TIME_MS &&
                  x.TIME_F == y.TIME_F && x.JOINNAME == y.JOINNAME && x.CUTDIR == y.CUTDIR,
              "quoted texts survive");
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
