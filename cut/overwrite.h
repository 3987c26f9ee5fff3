// The output overwrite policy: the source is never overwritten, and an existing file is
// replaced only when the user says so.
#pragma once

#include <string>

#include "cut/runfeedback.h"

namespace zembrio {

constexpr const char* kSourceNotOverwritable = "Fichier source non écrasable!";

// The longest file name (folder excluded) that Linux file systems take, in bytes.
constexpr size_t kFileNameMax = 255;

// True when name is the source: the same text, or a name of the same file (device and
// inode: links, "./", ".."). Another spelling of a file that does not exist is not the
// source, so "SONG.MP3" beside "song.mp3" is a file of its own where letter case counts.
bool IsSourcePath(const std::string& sourcePath, const std::string& name);

// path with its file name shortened to kFileNameMax bytes at a UTF-8 character boundary,
// its extension (up to 16 bytes after the last ".") kept.
std::string FitFileNameLength(const std::string& path);

// On return either ctx.State.AbortRequested is set (no file is to be created) or name
// (possibly changed) may be created. A name too long for the file system is shortened
// first; a name that this run already gave to an output becomes "name (2).ext", "(3)" ...,
// so no output of one run replaces another. The name settled on is recorded in
// ctx.State.RunOutputs. Throws TRunError(kSourceNotOverwritable).
void ConfirmOutputName(TRunContext& ctx, const std::string& sourcePath, std::string& name);

// Clears the run's overwrite-all choice and its record of outputs: a run starts.
void StartOutputRun(TRunState& state);

}  // namespace zembrio
