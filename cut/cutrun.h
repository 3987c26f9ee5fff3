// The steps that every format's cut takes around its own work, in one place.
#pragma once

#include <string>

#include "cut/runfeedback.h"
#include "cutlist/cutpoint.h"

namespace zembrio {

// Enters the busy state of a cut: the abort request and "overwrite all" cleared, every cut
// point's report "  non atteint" until the walk reaches it, the wait cursor and "En cours..".
void BeginCutRun(TRunContext& ctx, TCPList& list);

// Makes the fragments' folder. One that cannot be made is not an error here: it shows up as
// the error of the first output file, with the platform's text.
void MakeFragmentFolder(const std::string& folder);

}  // namespace zembrio
