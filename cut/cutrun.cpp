#include "cut/cutrun.h"

#include <exception>

#include "core/fileio.h"
#include "cut/oggcut.h"

namespace zembrio {

void BeginCutRun(TRunContext& ctx, TCPList& list) {
  ctx.State.AbortRequested = false;
  ctx.State.OverwriteAll = false;
  for (int i = 0; i < list.Count(); ++i)
    list[i].Report = {kNotReached};
  ctx.Feedback.SetWaitCursor(true);
  ctx.Feedback.ShowStateText("En cours..");
  ctx.Feedback.SetIdle(false);
}

void MakeFragmentFolder(const std::string& folder) {
  try {
    ForceDirectories(folder);
  } catch (const std::exception&) {
  }
}

}  // namespace zembrio
