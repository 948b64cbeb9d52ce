// The Windows commands behind the named extension calls: mouse reading and clipping, the
// clipboard, URLs and mail, path conversions, the UGC base path, region and user name, file and
// value dialogs, gamepad pairing and the program's own popups. Main thread only: the commands use
// the window, modal dialogs and static result buffers without locks.
#pragma once

// The command's result: a constant text or a static buffer of the platform layer, valid until the
// same command runs again; null when the command has no result, failed, was cancelled, or is not
// a platform command. Every command accepts a null parameter. A result that would not fit its
// buffer is never cut: the command answers null and logs it.
const char* CallPlatformCommand(const char* command, const char* parameter);

// The base path of user-generated content that "SetUGCBasePath" stored; "" until then.
const char* ZQI_GetUGCBasePath();
