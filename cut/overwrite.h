// The output overwrite policy: the source is never overwritten, and an existing file is
// replaced only when the user says so.
#pragma once

#include <string>

#include "cut/runfeedback.h"

namespace zembrio {

constexpr const char* kSourceNotOverwritable = "Fichier source non écrasable!";

// True when name is the source: the same text (A-Z without regard to case) or the same file.
bool IsSourcePath(const std::string& sourcePath, const std::string& name);

// On return either ctx.State.AbortRequested is set (no file is to be created) or name
// (possibly changed) may be created. Throws TRunError(kSourceNotOverwritable).
void ConfirmOutputName(TRunContext& ctx, const std::string& sourcePath, std::string& name);

}  // namespace zembrio
