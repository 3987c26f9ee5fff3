// Exit statuses of zembrio-cli, as scripts read them.
#pragma once

namespace zembrio::cli {

enum class TExitCode : int {
  Finished = 0,  // the run ended normally (frame errors included)
  Failed = 1,    // the run failed or was refused
  Usage = 2,     // bad command line
  Aborted = 130  // stopped by Ctrl-C or SIGTERM
};

}  // namespace zembrio::cli
