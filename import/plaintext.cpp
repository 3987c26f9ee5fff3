#include "import/plaintext.h"

#include "core/settings.h"
#include "core/timevalue.h"
#include "import/namemask.h"
#include "import/textfile.h"

namespace zembrio {

void ReadPlainText(TCPList& list, const std::vector<std::string>& lines) {
  const TSettings& settings = Settings();
  const bool nameFirst = settings.PLAINTEXTFMT == 1;
  for (const std::string& line : lines) {
    // The name may itself hold the separator: it is searched on the side of the time.
    const TSplitText parts = SplitAtSeparator(line, settings.PLTXTSEP, nameFirst);
    const std::string& timeText = nameFirst ? parts.Second : parts.First;
    const std::string& name = nameFirst ? parts.First : parts.Second;
    auto point = std::make_unique<TCutPoint>();
    ApplyParsedTime(*point, ParseTime(timeText, settings.TIME_TYPE == 1, settings.TIME_SHOWH));
    point->Name = ImportedName(name);
    point->Title = name;
    list.Add(std::move(point));
  }
}

void ImportPlainText(TCPList& list, const std::string& path) {
  ReadPlainText(list, ReadTrackListLines(path));
}

}  // namespace zembrio
