#include "cut/overwrite.h"

#include "core/fileio.h"
#include "core/textutil.h"

namespace zembrio {

namespace {

void RefuseSource(const std::string& sourcePath, const std::string& name) {
  if (IsSourcePath(sourcePath, name))
    throw TRunError(kSourceNotOverwritable);
}

std::string ExistsMessage(const std::string& name) {
  return "Fich \"" + name + "\" existe!";
}

}  // namespace

bool IsSourcePath(const std::string& sourcePath, const std::string& name) {
  // The text rule alone misses "./a.mp3", "dir/../a.mp3" and links; SameFile catches those.
  return SameTextAsciiCase(sourcePath, name) || SameFile(sourcePath, name);
}

void ConfirmOutputName(TRunContext& ctx, const std::string& sourcePath, std::string& name) {
  RefuseSource(sourcePath, name);
  if (ctx.State.OverwriteAll)
    return;
  while (FileExists(name)) {
    const TOverwriteAnswer answer = ctx.Questions.AskOverwrite(ExistsMessage(name), name);
    switch (answer.Choice) {
      case TOverwriteChoice::Overwrite:
        return;
      case TOverwriteChoice::OverwriteAll:
        ctx.State.OverwriteAll = true;
        return;
      case TOverwriteChoice::SaveAs:
        name = answer.Name;
        RefuseSource(sourcePath, name);
        break;
      case TOverwriteChoice::Stop:
      default:
        ctx.State.AbortRequested = true;
        return;
    }
  }
}

}  // namespace zembrio
