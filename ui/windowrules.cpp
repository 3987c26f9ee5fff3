#include "ui/windowrules.h"

#include <algorithm>

#include <array>

#include "core/fileio.h"
#include "core/platform.h"
#include "core/textutil.h"

namespace zembrio {

std::string NormalizedLastDir(const std::string& lastDir) {
  if (lastDir.empty())
    return lastDir;
  return WithTrailingDelimiter(lastDir);
}

std::string DeepestExistingFolder(const std::string& lastDir) {
  const std::string path = NormalizedLastDir(lastDir);
  std::string found;
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] != kPathDelimiter)
      continue;
    std::string prefix = path.substr(0, i + 1);
    if (!DirectoryExists(prefix))
      break;
    found = std::move(prefix);
  }
  return found;
}

bool SavedGeometryFits(const TRect& desktop, const TRect& saved) {
  constexpr int kMargin = 32;
  const int64_t dl = desktop.Left, dt = desktop.Top;
  const int64_t l = saved.Left, t = saved.Top;
  return dl < l + saved.Width - kMargin && dt < t + saved.Height - kMargin &&
         l + kMargin < dl + desktop.Width && t + kMargin < dt + desktop.Height;
}

TRect FittedGeometry(const TRect& available, const TRect& saved) {
  TRect fitted = saved;
  fitted.Width = std::min(saved.Width, available.Width);
  fitted.Height = std::min(saved.Height, available.Height);
  fitted.Left =
      std::clamp(saved.Left, available.Left, available.Left + available.Width - fitted.Width);
  fitted.Top =
      std::clamp(saved.Top, available.Top, available.Top + available.Height - fitted.Height);
  return fitted;
}

}  // namespace zembrio
