// The three commands of zembrio-cli over the shared engines.
#pragma once

#include <iosfwd>

#include "cli/exitcode.h"
#include "cli/options.h"

namespace zembrio::cli {

// Loads the settings (--ini, --set) and runs the command. Throws TUsageError for a bad
// setting; other failures are reported on err and give TExitCode::Failed.
TExitCode RunCommand(const TCliOptions& options, std::ostream& out, std::ostream& err);

}  // namespace zembrio::cli
