// The window's rules that need no widget: where the folder tree opens, whether saved
// geometry is usable and which files the file list shows. Kept apart so that they are
// plain functions of their inputs.
#pragma once

#include <string>
#include <string_view>

namespace zembrio {

struct TRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
};

// LASTDIR with a trailing "/" added when it is not empty (the record keeps this form).
std::string NormalizedLastDir(const std::string& lastDir);
// The deepest existing folder among the prefixes of lastDir that end at a "/", walking
// from the root and stopping at the first missing one; empty when none exists.
std::string DeepestExistingFolder(const std::string& lastDir);

// True when the saved bounds overlap the virtual desktop by more than 32 pixels on every
// side; the defaults (-1) never do.
bool SavedGeometryFits(const TRect& desktop, const TRect& saved);

// The saved outer bounds moved and shrunk as little as needed to lie inside the screen's
// available area, so that the title bar can always be reached.
TRect FittedGeometry(const TRect& available, const TRect& saved);

}  // namespace zembrio
