#include "cut/overwrite.h"

#include <filesystem>

#include "core/fileio.h"
#include "core/textutil.h"

namespace zembrio {

namespace {

// An extension longer than this is taken for part of the name when one is shortened.
constexpr size_t kExtensionMax = 16;

void RefuseSource(const std::string& sourcePath, const std::string& name) {
  if (IsSourcePath(sourcePath, name))
    throw TRunError(kSourceNotOverwritable);
}

std::string ExistsMessage(const std::string& name) {
  return "Fich \"" + name + "\" existe!";
}

struct TNameParts {
  std::string Folder;  // with its trailing "/", or empty
  std::string Stem;
  std::string Extension;  // with its ".", or empty
};

TNameParts SplitName(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  TNameParts parts;
  parts.Folder = path.substr(0, nameStart);
  const std::string name = path.substr(nameStart);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0 && name.size() - dot <= kExtensionMax) {
    parts.Stem = name.substr(0, dot);
    parts.Extension = name.substr(dot);
  } else {
    parts.Stem = name;
  }
  return parts;
}

// The stem cut to at most size bytes, never inside a UTF-8 character.
std::string CutAtCharacter(const std::string& stem, size_t size) {
  if (stem.size() <= size)
    return stem;
  while (size > 0 && (static_cast<unsigned char>(stem[size]) & 0xC0) == 0x80)
    --size;
  return stem.substr(0, size);
}

// The name with suffix before its extension, the stem shortened so that the whole fits.
std::string WithSuffix(const std::string& path, const std::string& suffix) {
  const TNameParts parts = SplitName(path);
  const size_t room = kFileNameMax - std::min(kFileNameMax, parts.Extension.size() + suffix.size());
  return parts.Folder + CutAtCharacter(parts.Stem, room) + suffix + parts.Extension;
}

// One spelling for the names of a run: "dir/./a.mp3" and "dir/a.mp3" are one output, also
// before either exists.
std::string Spelling(const std::string& name) {
  return std::filesystem::path(name).lexically_normal().string();
}

bool WrittenThisRun(const TRunState& state, const std::string& name) {
  if (state.RunOutputs.contains(Spelling(name)))
    return true;
  for (const std::string& written : state.RunOutputs) {
    if (SameFile(written, name))
      return true;
  }
  return false;
}

// The first of "name (2).ext", "name (3).ext" ... that the run has not written.
std::string NextFreeInRun(const TRunState& state, const std::string& name) {
  std::string candidate = name;
  for (int n = 2; WrittenThisRun(state, candidate); ++n)
    candidate = WithSuffix(name, " (" + std::to_string(n) + ")");
  return candidate;
}

// Settles a name proposed by the run or typed by the user: short enough, not the source,
// not one of the run's own outputs.
void SettleName(const TRunState& state, const std::string& sourcePath, std::string& name) {
  name = FitFileNameLength(name);
  RefuseSource(sourcePath, name);
  name = NextFreeInRun(state, name);
  RefuseSource(sourcePath, name);
}

}  // namespace

bool IsSourcePath(const std::string& sourcePath, const std::string& name) {
  return sourcePath == name || SameFile(sourcePath, name);
}

std::string FitFileNameLength(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t nameLength = path.size() - (slash == std::string::npos ? 0 : slash + 1);
  return nameLength <= kFileNameMax ? path : WithSuffix(path, "");
}

void ConfirmOutputName(TRunContext& ctx, const std::string& sourcePath, std::string& name) {
  SettleName(ctx.State, sourcePath, name);
  while (!ctx.State.OverwriteAll && FileExists(name)) {
    const TOverwriteAnswer answer = ctx.Questions.AskOverwrite(ExistsMessage(name), name);
    if (answer.Choice == TOverwriteChoice::Overwrite)
      break;
    if (answer.Choice == TOverwriteChoice::OverwriteAll) {
      ctx.State.OverwriteAll = true;
      break;
    }
    if (answer.Choice != TOverwriteChoice::SaveAs) {
      ctx.State.AbortRequested = true;
      return;
    }
    name = answer.Name;
    SettleName(ctx.State, sourcePath, name);
  }
  ctx.State.RunOutputs.insert(Spelling(name));
}

void StartOutputRun(TRunState& state) {
  state.OverwriteAll = false;
  state.RunOutputs.clear();
}

}  // namespace zembrio
