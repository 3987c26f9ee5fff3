#include "cli/options.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>

namespace zembrio::cli {
namespace {

// Walks the arguments; options take their value as "--opt VALUE" or "--opt=VALUE".
class TArgReader {
 public:
  explicit TArgReader(const std::vector<std::string>& args) : args_(args) {}

  bool AtEnd() const { return index_ >= args_.size(); }
  const std::string& Next() { return args_[index_++]; }

  // Splits "--opt=value" into name and inline value.
  static std::pair<std::string, std::optional<std::string>> Split(const std::string& arg) {
    const auto eq = arg.find('=');
    if (arg.rfind("--", 0) != 0 || eq == std::string::npos)
      return {arg, std::nullopt};
    return {arg.substr(0, eq), arg.substr(eq + 1)};
  }

  std::string Value(const std::string& name, const std::optional<std::string>& inlineValue) {
    if (inlineValue)
      return *inlineValue;
    if (AtEnd())
      throw TUsageError("l'option " + name + " demande une valeur");
    return Next();
  }

 private:
  const std::vector<std::string>& args_;
  size_t index_ = 0;
};

TOverwritePolicy ParsePolicy(const std::string& text) {
  if (text == "ask")
    return TOverwritePolicy::Ask;
  if (text == "all")
    return TOverwritePolicy::All;
  if (text == "never")
    return TOverwritePolicy::Never;
  throw TUsageError("--overwrite attend ask, all ou never, pas « " + text + " »");
}

std::pair<std::string, std::string> ParseSetting(const std::string& text) {
  const auto eq = text.find('=');
  if (eq == std::string::npos || eq == 0) {
    throw TUsageError("--set attend CLE=VALEUR, pas « " + text + " »");
  }
  return {text.substr(0, eq), text.substr(eq + 1)};
}

TPointOption ParsePoint(const std::string& text) {
  const auto eq = text.find('=');
  if (eq == std::string::npos)
    return {text, ""};
  return {text.substr(0, eq), text.substr(eq + 1)};
}

std::pair<std::string, std::string> ParseTag(const std::string& text) {
  const size_t eq = text.find('=');
  const std::string field = text.substr(0, eq);
  const bool known =
      std::find(std::begin(kTagFields), std::end(kTagFields), field) != std::end(kTagFields);
  if (eq == std::string::npos || !known) {
    throw TUsageError(
        "--tag attend CHAMP=VALEUR (album, albumartist, date, genre, artist), pas « " + text +
        " »");
  }
  return {field, text.substr(eq + 1)};
}

void SetTrackList(TCliOptions& options, int type, const std::string& path) {
  if (options.TrackListType != 0 || options.Beside) {
    throw TUsageError("une seule liste de pistes à la fois (--cue, --xmcd, --text ou --beside)");
  }
  options.TrackListType = type;
  options.TrackList = path;
}

TCommand CommandOf(const std::string& word) {
  static const std::map<std::string, TCommand> kCommands = {{"stats", TCommand::Stats},
                                                            {"cut", TCommand::Cut},
                                                            {"join", TCommand::Join},
                                                            {"levels", TCommand::Levels},
                                                            {"silence", TCommand::Silence}};
  const auto found = kCommands.find(word);
  if (found == kCommands.end())
    throw TUsageError("commande inconnue « " + word + " »");
  return found->second;
}

// Options every command accepts; false when name is not one of them.
bool TakeCommonOption(TCliOptions& options, TArgReader& reader, const std::string& name,
                      const std::optional<std::string>& value) {
  if (name == "--ini") {
    options.IniFile = reader.Value(name, value);
  } else if (name == "--set") {
    options.Settings.push_back(ParseSetting(reader.Value(name, value)));
  } else if (name == "--overwrite") {
    options.Overwrite = ParsePolicy(reader.Value(name, value));
  } else if (name == "--quiet" || name == "-q") {
    options.Quiet = true;
  } else {
    return false;
  }
  return true;
}

bool TakeCommandOption(TCliOptions& options, TArgReader& reader, const std::string& name,
                       const std::optional<std::string>& value) {
  const TCommand command = options.Command;
  if (command == TCommand::Stats && name == "--detail") {
    options.Detail = true;
    options.DetailFile = value.value_or("");
  } else if (command == TCommand::Cut && name == "--point") {
    options.Points.push_back(ParsePoint(reader.Value(name, value)));
  } else if (command == TCommand::Cut && name == "--dest") {
    options.Dest = reader.Value(name, value);
  } else if (command == TCommand::Cut && name == "--dry-run") {
    options.DryRun = true;
  } else if (command == TCommand::Cut && name == "--write-cue") {
    options.WriteCue = reader.Value(name, value);
  } else if (command == TCommand::Cut && name == "--cue") {
    SetTrackList(options, 1, reader.Value(name, value));
  } else if (command == TCommand::Cut && name == "--cue-file") {
    options.CueFile = reader.Value(name, value);
    if (options.CueFile.empty())
      throw TUsageError("--cue-file attend le nom ou le numéro d'un fichier de la liste");
  } else if (command == TCommand::Cut && name == "--xmcd") {
    SetTrackList(options, 2, reader.Value(name, value));
  } else if (command == TCommand::Cut && name == "--text") {
    SetTrackList(options, 3, reader.Value(name, value));
  } else if (command == TCommand::Cut && name == "--beside") {
    SetTrackList(options, 0, "");
    options.Beside = true;
  } else if (command == TCommand::Cut && name == "--tag") {
    options.Tags.push_back(ParseTag(reader.Value(name, value)));
  } else if (command == TCommand::Cut && name == "--batch") {
    options.BatchFile = reader.Value(name, value);
  } else if (command == TCommand::Join && (name == "--output" || name == "-o")) {
    options.Output = reader.Value(name, value);
  } else if (command == TCommand::Join && name == "--raw") {
    options.Raw = true;
  } else {
    return false;
  }
  return true;
}

// The options of levels, silence and of a cut at proposed points.
bool TakeSoundOption(TCliOptions& options, TArgReader& reader, const std::string& name,
                     const std::optional<std::string>& value) {
  const TCommand command = options.Command;
  const bool pauses = command == TCommand::Silence || command == TCommand::Cut;
  if (command == TCommand::Levels && name == "--step") {
    options.Step = reader.Value(name, value);
  } else if (pauses && name == "--threshold") {
    options.Threshold = reader.Value(name, value);
  } else if (pauses && name == "--min-length") {
    options.MinLength = reader.Value(name, value);
  } else if (pauses && name == "--position") {
    options.Position = reader.Value(name, value);
  } else if (command == TCommand::Cut && name == "--silence") {
    options.Silence = true;
  } else if (command == TCommand::Cut && name == "--every") {
    options.Every = reader.Value(name, value);
  } else if (command == TCommand::Cut && name == "--parts") {
    options.Parts = reader.Value(name, value);
  } else {
    return false;
  }
  return true;
}

void CheckProposedPoints(const TCliOptions& options) {
  const int ways = (options.Silence ? 1 : 0) + (options.Every ? 1 : 0) + (options.Parts ? 1 : 0);
  if (ways > 1)
    throw TUsageError("--silence, --every et --parts s'excluent");
  if (ways == 1 && (!options.Points.empty() || options.TrackListType != 0 || options.Beside))
    throw TUsageError(
        "--silence, --every et --parts ne se combinent pas avec --point ou une liste");
  if (!options.Silence && options.Command == TCommand::Cut &&
      (options.Threshold || options.MinLength || options.Position))
    throw TUsageError("--threshold, --min-length et --position vont avec --silence");
}

void TakePositional(TCliOptions& options, const std::string& arg) {
  if (options.Command == TCommand::Join) {
    options.Inputs.push_back(arg);
  } else if (options.Source.empty()) {
    options.Source = arg;
  } else {
    throw TUsageError("argument en trop « " + arg + " »");
  }
}

void CheckComplete(const TCliOptions& options) {
  switch (options.Command) {
    case TCommand::None:
      throw TUsageError("aucune commande (stats, cut, join, levels ou silence)");
    case TCommand::Stats:
    case TCommand::Cut:
    case TCommand::Levels:
    case TCommand::Silence:
      if (options.Source.empty())
        throw TUsageError("fichier source manquant");
      if (!options.Points.empty() && (options.TrackListType != 0 || options.Beside)) {
        throw TUsageError("--point ne se combine pas avec une liste de pistes");
      }
      if (!options.CueFile.empty() && options.TrackListType != 1 && !options.Beside)
        throw TUsageError("--cue-file va avec --cue ou --beside");
      CheckProposedPoints(options);
      break;
    case TCommand::Join:
      if (options.Output.empty())
        throw TUsageError("--output FICHIER manquant");
      if (options.Inputs.empty())
        throw TUsageError("aucun fichier à joindre");
      break;
    default:
      break;
  }
}

}  // namespace

TCliOptions ParseCommandLine(const std::vector<std::string>& args) {
  TCliOptions options;
  TArgReader reader(args);
  bool onlyPositional = false;
  while (!reader.AtEnd()) {
    const std::string arg = reader.Next();
    if (onlyPositional || arg.empty() || arg[0] != '-' || arg == "-") {
      if (options.Command == TCommand::None) {
        options.Command = CommandOf(arg);
      } else {
        TakePositional(options, arg);
      }
      continue;
    }
    if (arg == "--") {
      onlyPositional = true;
      continue;
    }
    if (arg == "--help" || arg == "-h" || arg == "--version") {
      TCliOptions info;
      info.Command = arg == "--version" ? TCommand::Version : TCommand::Help;
      return info;
    }
    const auto [name, value] = TArgReader::Split(arg);
    if (TakeCommonOption(options, reader, name, value))
      continue;
    if (TakeCommandOption(options, reader, name, value))
      continue;
    if (TakeSoundOption(options, reader, name, value))
      continue;
    throw TUsageError("option inconnue « " + arg + " »");
  }
  CheckComplete(options);
  return options;
}

std::string UsageText() {
  return R"(Usage:
  zembrio-cli stats SOURCE [--detail[=FICHIER]]
  zembrio-cli cut SOURCE [--point TEMPS[=NOM]]... [--dest DOSSIER] [--dry-run]
                  [--write-cue FICHIER]
                  [--cue F | --xmcd F | --text F | --beside] [--cue-file NOM|N]
                  [--batch SCRIPT]
                  [--silence [OPTIONS DE PAUSE] | --every TEMPS | --parts N]
                  [--tag CHAMP=VALEUR]...
  zembrio-cli join --output FICHIER ENTREE... [--raw]
  zembrio-cli levels SOURCE [--step TEMPS]
  zembrio-cli silence SOURCE [--threshold DB] [--min-length TEMPS] [--position PART]

Commandes:
  stats   statistiques d'un fichier MPEG (--detail: liste par frame dans FICHIER,
          par défaut SOURCE.txt)
  cut     coupe SOURCE aux points donnés (MPEG: copie de frames entières; Ogg Vorbis:
          vcut; Ogg Opus: copie de paquets)
            --point TEMPS[=NOM]  début d'un fragment, lu comme dans la grille
                                 (sans nom: le passage est sauté)
            --dest DOSSIER       dossier des fragments (défaut: CUTDIR relatif au
                                 dossier de la source)
            --cue/--xmcd/--text F  points importés d'une liste de pistes
            --beside             la liste .cue ou .xmcd posée à côté de la source
            --cue-file NOM|N     d'une liste CUE de plusieurs fichiers, les pistes du
                                 fichier NOM (ou du N-ième), quel que soit le nom de
                                 la source
            --tag CHAMP=VALEUR   étiquette de toute la coupe: album, albumartist,
                                 date, genre ou artist (remplace la liste de pistes)
            --dry-run            montre la liste des coupes et les étiquettes sans
                                 rien écrire
            --write-cue F        enregistre la liste des coupes en feuille CUE F
            --batch SCRIPT       Ogg Vorbis: écrit les commandes dans un script shell
            --silence            coupe au milieu des pauses (voir silence)
            --every TEMPS        coupe toutes les TEMPS
            --parts N            coupe en N parties égales
  join    joint les ENTREE dans FICHIER (copie de frames; --raw: octet par octet)
  levels  une ligne par pas (défaut 10ms): temps, crête et RMS en dB
  silence la liste des coupes proposées aux pauses, comme cut --dry-run
            --threshold DB       niveau sous lequel le son est une pause (SILENCEDB)
            --min-length TEMPS   durée minimale d'une pause (SILENCEMIN)
            --position PART      où couper dans la pause, de 0 à 1 (SILENCEPOS)
          Un temps est lu comme dans la grille; NNNms compte des millisecondes.

Options communes:
  --ini FICHIER         fichier de réglages à lire (défaut: celui du bureau)
  --set CLE=VALEUR      remplace un réglage pour cette exécution (ex. ADJUSTSTART=2,
                        LISTCODEPAGE=1251 pour des listes de pistes en cyrillique)
  --overwrite ask|all|never  fichiers existants: demander, tout écraser, ne rien écraser
  --quiet               pas de rapport ni de progression
  --help, --version

Code de sortie: 0 terminé, 1 échec ou refus, 2 mauvaise utilisation, 130 interrompu.
)";
}

}  // namespace zembrio::cli
