#include "core/settings.h"

#include "core/settingstable.h"
#include "core/textutil.h"

namespace zembrio {

namespace {

// The name of a stored pair: its hex-encoded source, before the first "=".
std::string_view PairName(std::string_view entry) {
  return entry.substr(0, entry.find('='));
}

}  // namespace

TSettings::TSettings() {
  for (const TSettingRow& row : SettingRows()) {
    SetSettingDefault(row, *this);
  }
}

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
  for (const TSettingRow& row : SettingRows()) {
    if (row.Section != kSettingsSection) {
      continue;
    }
    if (!row.FoundDefault) {
      SetSettingDefault(row, s);
    } else if (SettingText(row, s).empty()) {
      SetSettingText(row, s, row.FoundDefault());
    }
  }
  AddDefaultPairs(workingCopy);
  ReplacementList() = workingCopy;
}

}  // namespace zembrio
