// Stored files that cannot be read are moved out of the way of the next save instead of being
// written over: the user keeps what they held. Every such file keeps a name of its own, so a
// later run never replaces what an earlier one set aside.
#pragma once

#include "foundation/String.h"

// Moves the file at path (a virtual path) to the first name under which no file is kept:
// "<path>.bad", then "<path>-1.bad" up to "<path>-99.bad". setAsidePath receives that name, or
// the last one tried. A file that another process makes under the chosen name meanwhile is never
// replaced: the next name is taken instead. False, the file left where it is, when every name is
// taken or the move fails (a folder in the way, a file held open). No message: the caller says
// what the file was.
bool ZQI_SetAsideFile(const char* path, String* setAsidePath);
