// Files with 64-bit sizes and positions. Input goes through a buffer of our own, so that
// the one-byte steps of frame resynchronisation cost no system call; output is buffered
// and every write and the close are checked. Failures throw std::system_error carrying
// the platform's text.
#pragma once

#include "core/filesystem.h"
#include "core/inputfile.h"
#include "core/outputfile.h"
