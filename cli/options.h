// The command line of zembrio-cli: commands, options and their checks.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zembrio::cli {

class TUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TCommand { None, Help, Version, Stats, Cut, Join, Levels, Silence };
enum class TOverwritePolicy { Ask, All, Never };

struct TPointOption {
  std::string Time;
  std::string Name;
};

struct TCliOptions {
  TCommand Command = TCommand::None;
  // Common options.
  std::optional<std::string> IniFile;
  std::vector<std::pair<std::string, std::string>> Settings;  // --set KEY=VALUE, in order
  std::optional<TOverwritePolicy> Overwrite;                  // default depends on the terminal
  bool Quiet = false;
  // stats and cut.
  std::string Source;
  // stats.
  bool Detail = false;
  std::string DetailFile;  // empty: SOURCE + ".txt"
  // cut.
  std::vector<TPointOption> Points;
  std::optional<std::string> Dest;
  bool DryRun = false;
  std::optional<std::string> WriteCue;  // the list as a CUE sheet, before anything is cut
  int TrackListType = 0;                // 1 CUE, 2 XMCD, 3 plain text; 0 none
  std::string TrackList;
  bool Beside = false;
  std::string CueFile;  // --cue-file: the name or number of one of a CUE sheet's files
  std::optional<std::string> BatchFile;
  std::vector<std::pair<std::string, std::string>> Tags;  // --tag FIELD=VALUE, in order
  // join.
  std::string Output;
  std::vector<std::string> Inputs;
  bool Raw = false;
  // levels, silence, and cut at proposed points (texts checked when the command runs).
  std::optional<std::string> Step;       // levels --step TIME
  std::optional<std::string> Threshold;  // --threshold DB
  std::optional<std::string> MinLength;  // --min-length TIME
  std::optional<std::string> Position;   // --position SHARE
  bool Silence = false;                  // cut --silence
  std::optional<std::string> Every;      // cut --every TIME
  std::optional<std::string> Parts;      // cut --parts N
};

// The fields --tag sets for the whole cut.
inline constexpr const char* kTagFields[] = {"album", "albumartist", "date", "genre", "artist"};

// Throws TUsageError with a one-line explanation.
TCliOptions ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();

}  // namespace zembrio::cli
