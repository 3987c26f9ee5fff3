#include "import/plaintext.h"

#include "core/timevalue.h"
#include "import/namemask.h"
#include "import/textfile.h"

namespace zembrio {

void ReadPlainText(TCPList& list, const std::vector<std::string>& lines,
                   const TImportOptions& options) {
  const bool nameFirst = options.NameFirst;
  for (const std::string& line : lines) {
    // The name may itself hold the separator: it is searched on the side of the time.
    const TSplitText parts = SplitAtSeparator(line, options.PlainTextSeparator, nameFirst);
    const std::string& timeText = nameFirst ? parts.Second : parts.First;
    const std::string& name = nameFirst ? parts.First : parts.Second;
    auto point = std::make_unique<TCutPoint>();
    ApplyParsedTime(*point, ParseTime(timeText, options.CdFrames, options.ShowHours));
    point->Name = ImportedName(name);
    point->Title = name;
    list.Add(std::move(point));
  }
}

void ImportPlainText(TCPList& list, const std::string& path, const TImportOptions& options) {
  ReadPlainText(list, ReadTrackListLines(path, options.CodePage), options);
}

}  // namespace zembrio
