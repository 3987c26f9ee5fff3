#include "cli/commands.h"

#include <unistd.h>

#include <iostream>
#include <stdexcept>

#include "app/destination.h"
#include "app/sourceformat.h"
#include "cli/soundcommands.h"
#include "cli/terminal.h"
#include "core/fileio.h"
#include "core/inifile.h"
#include "core/platform.h"
#include "core/settings.h"
#include "core/textutil.h"
#include "core/timevalue.h"
#include "cut/splitter.h"
#include "cutlist/cuewriter.h"
#include "cutlist/gridmodel.h"
#include "import/importer.h"
#include "join/join.h"
#include "sound/decoder.h"
#include "tags/fragmenttags.h"

namespace zembrio::cli {
namespace {

void LoadSettingsFor(const TCliOptions& options) {
  if (options.IniFile) {
    const std::string path = ExpandFileName(*options.IniFile);
    // A missing file gives the defaults; a FIFO or a device would hang every command.
    if ((FileExists(path) || DirectoryExists(path)) && !IsRegularFile(path))
      throw TUsageError("--ini « " + *options.IniFile + " » n'est pas un fichier ordinaire");
    LoadSettingsFrom(path);
  } else {
    // The desktop's settings: the window's executable lies beside this one once installed,
    // and its settings went to the user's file when the one beside it could not be written.
    LoadSettingsFrom(SettingsReadPath({IniPathFor(ExecutableFolder() + "zembrio"), UserIniPath()}));
  }
  for (const auto& [key, value] : options.Settings) {
    switch (SetSettingFromText(key, value)) {
      case TSettingResult::UnknownKey:
        throw TUsageError("réglage inconnu « " + key + " »");
      case TSettingResult::BadValue:
        throw TUsageError("valeur invalide « " + value + " » pour " + key +
                          " (attendu : " + SettingValuesText(key) + ")");
      case TSettingResult::Set:
        break;
    }
  }
}

TOverwritePolicy PolicyFor(const TCliOptions& options) {
  if (options.Overwrite)
    return *options.Overwrite;
  return isatty(STDIN_FILENO) ? TOverwritePolicy::Ask : TOverwritePolicy::Never;
}

void AddTypedPoints(TCPList& list, const std::vector<TPointOption>& points) {
  const bool framesMode = Settings().TIME_TYPE == 1;
  const bool hoursMode = Settings().TIME_SHOWH;
  for (const TPointOption& option : points) {
    TCutPoint& point = list.Add();
    // The grid keeps the previous time for text out of range; a script gets told instead,
    // since "600" (600 CD frames, not seconds) would otherwise cut silently at 0 s.
    if (!ApplyParsedTime(point, ParseTime(option.Time, framesMode, hoursMode)))
      throw TUsageError("temps invalide « " + option.Time + " » (ex. 90s, 1m30s, 2m 05s 40f)");
    point.Name = option.Name;
  }
}

// --tag values win over what the track list says, for every fragment.
void ApplyTagOptions(TCPList& list, const TCliOptions& options) {
  for (const auto& [field, value] : options.Tags) {
    if (field == "album") {
      list.Album.Album = value;
    } else if (field == "albumartist") {
      list.Album.AlbumArtist = value;
    } else if (field == "date") {
      list.Album.Date = value;
    } else if (field == "genre") {
      list.Album.Genre = value;
    } else {
      for (int i = 0; i < list.Count(); ++i)
        list[i].Artist = value;
    }
  }
}

// Rows as the grid shows them; with tags on, a written fragment's row goes on with the
// title and artist of its tag, and the album-wide fields follow the rows as --tag takes them.
void PrintCutList(TCPList& list, std::ostream& out) {
  const bool tags = Settings().ID3V2TAG == 1;
  const std::vector<TGridRowText> rows = GridRowTexts(list);
  const int total = WrittenFragmentCount(list);
  int track = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const TGridRowText& row = rows[i];
    out << row.Start << '\t' << row.Name << '\t' << row.Duration;
    const int index = static_cast<int>(i);
    if (tags && index < list.Count() && !list[index].IsSkipped()) {
      const TFragmentTags fragment = FragmentTagsOf(list, index, ++track, total);
      out << '\t' << fragment.Title << '\t' << fragment.Artist;
    }
    out << '\n';
  }
  if (!tags)
    return;
  const TAlbumFields& album = list.Album;
  const std::pair<const char*, const std::string*> fields[] = {{"album", &album.Album},
                                                               {"albumartist", &album.AlbumArtist},
                                                               {"date", &album.Date},
                                                               {"genre", &album.Genre}};
  for (const auto& [name, value] : fields) {
    if (!value->empty())
      out << name << '=' << *value << '\n';
  }
}

TExitCode ExitFor(TRunOutcome outcome, const TTerminal& terminal) {
  if (outcome == RunEndOfData)
    return TExitCode::Finished;
  if (outcome == RunAborted && !terminal.RefusedByPolicy())
    return TExitCode::Aborted;
  return TExitCode::Failed;
}

bool CheckSourceExists(const std::string& source, std::ostream& err) {
  if (IsRegularFile(source))
    return true;
  // A device or a FIFO (a link to /dev/zero) would be read for ever.
  if (FileExists(source) || DirectoryExists(source)) {
    err << "zembrio-cli: " << kSourceNotRegular << ' ' << source << '\n';
  } else {
    err << "zembrio-cli: fichier introuvable: " << source << '\n';
  }
  return false;
}

TExitCode RunStats(const TCliOptions& options, TTerminal& terminal, TRunContext& ctx,
                   std::ostream& err) {
  const std::string source = ExpandFileName(options.Source);
  if (!CheckSourceExists(source, err))
    return TExitCode::Failed;
  TStatsJob job;
  job.Detail = options.Detail;
  job.SourcePath = source;
  job.DetailPath =
      options.DetailFile.empty() ? source + ".txt" : ExpandFileName(options.DetailFile);
  TCPList list;
  return ExitFor(SourceStatistics(ctx, list, job), terminal);
}

// A track list named on the command line that cannot be read is said so with the platform's
// text: an empty list would only ask for cut points.
void RequireReadableTrackList(const std::string& path) {
  if (DirectoryExists(path) || (FileExists(path) && !IsRegularFile(path)))
    throw std::runtime_error(path + ": ce n'est pas un fichier ordinaire");
  TInputFile(path, 1);  // throws std::system_error when it cannot be opened
}

// False when the track list stopped on an error: nobody sees the list here, so the tracks
// read before it are not cut (the last of them would run on over the rest).
bool FillCutList(const TCliOptions& options, const std::string& source, TCPList& list,
                 IRunFeedback& feedback) {
  bool complete = true;
  if (options.Beside) {
    complete = LoadTrackListBesideSource(list, feedback, source, options.CueFile);
  } else if (options.TrackListType != 0) {
    const std::string path = ExpandFileName(options.TrackList);
    RequireReadableTrackList(path);
    complete =
        ImportTrackList(list, feedback, path, options.TrackListType, source, options.CueFile);
  } else {
    AddTypedPoints(list, options.Points);
  }
  ApplyTagOptions(list, options);
  list.SortByTime();
  EnsureZeroPoint(list);
  return complete;
}

TExitCode RunCut(const TCliOptions& options, TTerminal& terminal, TRunContext& ctx,
                 std::ostream& out, std::ostream& err) {
  const std::string source = ExpandFileName(options.Source);
  if (!CheckSourceExists(source, err))
    return TExitCode::Failed;
  TCPList list;
  if (!WantsProposedPoints(options)) {
    if (!FillCutList(options, source, list, terminal))
      return TExitCode::Failed;
  } else if (!ProposeCutList(options, source, list, ctx)) {
    return TExitCode::Aborted;
  }
  if (options.WriteCue)
    WriteCueSheet(list, source, IsMpegSource(source), ExpandFileName(*options.WriteCue));
  if (options.DryRun) {
    PrintCutList(list, out);
    return TExitCode::Finished;
  }
  const std::string dest = options.Dest
                               ? WithTrailingDelimiter(ExpandFileName(*options.Dest))
                               : CutDestinationFor(ExtractFilePath(source), Settings().CUTDIR);
  if (options.BatchFile)
    terminal.SetBatchFile(ExpandFileName(*options.BatchFile));
  const TRunOutcome outcome = CutSource(ctx, list, source, dest, options.BatchFile.has_value());
  return ExitFor(outcome, terminal);
}

// Pauses found, cut nothing: the list as cut --dry-run shows it.
TExitCode RunSilence(const TCliOptions& options, TRunContext& ctx, std::ostream& out,
                     std::ostream& err) {
  const std::string source = ExpandFileName(options.Source);
  if (!CheckSourceExists(source, err))
    return TExitCode::Failed;
  TCPList list;
  if (!ProposeCutList(options, source, list, ctx))
    return TExitCode::Aborted;
  PrintCutList(list, out);
  return TExitCode::Finished;
}

TExitCode RunLevelsCommand(const TCliOptions& options, TRunContext& ctx, std::ostream& out,
                           std::ostream& err) {
  const std::string source = ExpandFileName(options.Source);
  if (!CheckSourceExists(source, err))
    return TExitCode::Failed;
  return RunLevels(options, source, ctx, out);
}

TExitCode RunJoinCommand(const TCliOptions& options, TTerminal& terminal, TRunContext& ctx) {
  TJoinList rows;
  for (const std::string& input : options.Inputs) {
    const std::string path = ExpandFileName(input);
    TJoinItem item;
    item.Name = ExtractFileName(path);
    item.Folder = ExtractFilePath(path);
    rows.push_back(item);
  }
  terminal.ShowJoinRows(&rows);
  switch (JoinSources(ctx, rows, terminal, options.Output, std::string(), options.Raw)) {
    case TJoinOutcome::Finished:
      return TExitCode::Finished;
    case TJoinOutcome::Aborted:
      return TExitCode::Aborted;
    default:
      return TExitCode::Failed;
  }
}

}  // namespace

TExitCode RunCommand(const TCliOptions& options, std::ostream& out, std::ostream& err) {
  LoadSettingsFor(options);
  TRunState state;
  state.Idle = true;
  TTerminal terminal(state, PolicyFor(options), options.Quiet, out, err);
  TRunContext ctx{state, terminal, terminal};
  switch (options.Command) {
    case TCommand::Stats:
      return RunStats(options, terminal, ctx, err);
    case TCommand::Cut:
      return RunCut(options, terminal, ctx, out, err);
    case TCommand::Join:
      return RunJoinCommand(options, terminal, ctx);
    case TCommand::Levels:
      return RunLevelsCommand(options, ctx, out, err);
    case TCommand::Silence:
      return RunSilence(options, ctx, out, err);
    default:
      return TExitCode::Usage;
  }
}

}  // namespace zembrio::cli
