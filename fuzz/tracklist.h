// What the three track list targets share: the last input byte picks the settings a user
// may have (mask, separators, an emptied or hostile replacement list), and every produced
// name must stay a name inside the destination folder.
#pragma once

#include <string>
#include <vector>

#include "core/codepages.h"
#include "core/timevalue.h"
#include "cutlist/cutpoint.h"
#include "fuzzinput.h"
#include "import/textfile.h"

namespace zembrio::fuzz {

inline void ConfigureTrackListSettings(uint8_t config) {
  ResetSettings();
  static const char* const kMasks[] = {"%N %T", "%A/%D/%N %P - %T", "100%%D %t%%", "../%T\\%p"};
  static const char* const kSeparators[] = {"/", " - ", "", "\t"};
  TSettings& s = Settings();
  s.MASK = kMasks[config & 3];
  s.ZEROINDEX = (config & 4) != 0;
  s.PLAINTEXTFMT = (config >> 3) & 1;
  s.PLTXTSEP = kSeparators[(config >> 4) & 3];
  s.XMCDSEPDISC = s.XMCDSEPTRACK = kSeparators[(config >> 5) & 3];
  if ((config & 0x80) != 0) {
    // A user may have emptied the list, or made it put the separators back.
    ReplacementList().clear();
    if ((config & 0x40) != 0) {
      ReplacementList().push_back(EncodePair({"-", "/"}));
      ReplacementList().push_back(EncodePair({" ", std::string(1, '\0')}));
    }
  }
}

// The second last byte picks the code page of a list that is not UTF-8, detection included.
inline int32_t TrackListCodePage(const uint8_t* data, size_t size) {
  const auto choices = ListCodePageChoices();
  return size > 1 ? choices[data[size - 2] % choices.size()].Number : kDefaultListCodePage;
}

inline std::vector<std::string> TrackListLines(const uint8_t* data, size_t size) {
  return SplitLines(DecodeTrackListText(AsText(data, size), TrackListCodePage(data, size)));
}

inline void CheckNames(const TCPList& list) {
  for (int i = 0; i < list.Count(); ++i) {
    const std::string& name = list[i].Name;
    Check(IsValidUtf8(name), "name is valid UTF-8");
    Check(name.find('/') == std::string::npos, "name holds no /");
    Check(name.find('\0') == std::string::npos, "name holds no NUL");
    Check(list[i].Seconds >= 0, "cut point not before the start");
  }
}

// One run of a reader: a malformed number is its one refusal, and the cut points read
// before it stay and must be as sound.
inline int RunTrackListReader(void (*read)(TCPList&, const std::vector<std::string>&),
                              const uint8_t* data, size_t size) {
  ConfigureTrackListSettings(size > 0 ? data[size - 1] : 0);
  TCPList list;
  try {
    read(list, TrackListLines(data, size));
  } catch (const TConversionError&) {
  }
  CheckNames(list);
  return 0;
}

}  // namespace zembrio::fuzz
