#include "app/destination.h"

#include "core/platform.h"

namespace zembrio {

std::string CutDestinationFor(const std::string& folder, const std::string& cutDir) {
  if (IsAbsolutePath(cutDir))
    return WithTrailingDelimiter(cutDir);
  return WithTrailingDelimiter(ExpandFileName(WithTrailingDelimiter(folder) + cutDir));
}

}  // namespace zembrio
