// zembrio-cli: the engines of the desktop window, for scripts and terminals.
#include <clocale>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/terminal.h"

using zembrio::cli::TCommand;
using zembrio::cli::TExitCode;

int main(int argc, char** argv) {
  // Reports use the user's decimal separator and time format.
  std::setlocale(LC_ALL, "");
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    const auto options = zembrio::cli::ParseCommandLine(args);
    if (options.Command == TCommand::Help) {
      std::cout << zembrio::cli::UsageText();
      return 0;
    }
    if (options.Command == TCommand::Version) {
      std::cout << "zembrio-cli " << ZEMBRIO_VERSION << '\n';
      return 0;
    }
    zembrio::cli::InstallInterruptHandlers();
    return static_cast<int>(zembrio::cli::RunCommand(options, std::cout, std::cerr));
  } catch (const zembrio::cli::TUsageError& error) {
    std::cerr << "zembrio-cli: " << error.what() << " (voir zembrio-cli --help)\n";
    return static_cast<int>(TExitCode::Usage);
  } catch (const std::exception& error) {
    std::cerr << "zembrio-cli: " << error.what() << '\n';
    return static_cast<int>(TExitCode::Failed);
  }
}
