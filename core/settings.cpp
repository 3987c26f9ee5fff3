#include "core/settings.h"

#include "core/codepages.h"
#include "core/platform.h"
#include "core/textutil.h"

namespace zembrio {

namespace {

// The name of a stored pair: its hex-encoded source, before the first "=".
std::string_view PairName(std::string_view entry) {
  return entry.substr(0, entry.find('='));
}

}  // namespace

TSettings& Settings() {
  static TSettings settings;
  return settings;
}

const TPairList& DefaultPairs() {
  static const TPairList pairs = [] {
    const TPair plain[] = {{"", "-"},  {"*", "-"},   {"?", "-"}, {"/", "-"}, {"\\", "-"},
                           {":", "-"}, {"\"", "''"}, {"|", "-"}, {"<", "("}, {">", ")"}};
    TPairList encoded;
    for (const TPair& pair : plain) {
      encoded.push_back(EncodePair(pair));
    }
    return encoded;
  }();
  return pairs;
}

void AddDefaultPairs(TPairList& list) {
  for (const std::string& pair : DefaultPairs()) {
    bool found = false;
    for (std::string& entry : list) {
      if (SameTextAsciiCase(PairName(entry), PairName(pair))) {
        entry = pair;
        found = true;
        break;
      }
    }
    if (!found) {
      list.push_back(pair);
    }
  }
}

void ApplyDefaults(TPairList& workingCopy) {
  TSettings& s = Settings();
  s.ADDEXTENSION = true;
  s.ZEROINDEX = true;
  s.SKIPVBRHEADER = true;
  s.XINGHEADER = true;
  s.MASK = "%N %T";
  s.ID3V1TAG = 1;
  s.ID3V2TAG = 1;
  s.PLAINTEXTFMT = 0;
  s.PLTXTSEP = "/";
  s.XMCDSEPDISC = " / ";
  s.XMCDSEPTRACK = " / ";
  s.ADJUSTSTART = 1;
  if (s.VCUTEXE.empty()) {
    s.VCUTEXE = DefaultVcutPath();
  }
  s.TIME_SHOWH = false;
  s.TIME_TYPE = 1;
  s.TIME_H = "h ";
  s.TIME_M = "m ";
  s.TIME_S = "s ";
  s.TIME_MS = "ms";
  s.TIME_F = "f";
  s.JOINNAME = "join_output";
  s.CUTDIR.clear();
  s.SILENCEDB = -48;
  s.SILENCEMIN = 1000;
  s.SILENCEPOS = 50;
  s.TRACKMIN = 10000;
  s.HEARCUT = 3000;
  s.LISTCODEPAGE = kDefaultListCodePage;
  s.SNAPQUIET = 0;
  AddDefaultPairs(workingCopy);
  ReplacementList() = workingCopy;
}

}  // namespace zembrio
