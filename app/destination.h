// Where the fragments of a cut go unless the user says otherwise: the same rule for the
// window's "Destination:" field and the command line's default --dest.
#pragma once

#include <string>

namespace zembrio {

// The fragment folder for a source in folder: cutDir (CUTDIR) below the folder unless it is
// an absolute path; always with a trailing "/".
std::string CutDestinationFor(const std::string& folder, const std::string& cutDir);

}  // namespace zembrio
