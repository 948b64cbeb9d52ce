// The table of scheme roots: one native folder (with "/" separators) per scheme id 0-9, filled
// during start-up and read everywhere without a lock afterwards.
#pragma once

#include <cstdint>

#include "filesystem/VirtualPath.h"
#include "foundation/String.h"

// Shell folder ids asked for by the roots (the Windows CSIDL numbers).
enum : int32_t {
    ZQI_SHELL_FOLDER_DOCUMENTS = 5,  // the user's documents folder
    ZQI_SHELL_FOLDER_APP_DATA = 26   // the per-user application-data folder
};

// The live root of a scheme; an empty string for ids without a slot.
const String& ZQI_GetSchemeRoot(SchemeId id);
// Sets a live root (start-up's user folders; tests). Ids without a slot are ignored.
void ZQI_SetSchemeRoot(SchemeId id, const char* nativeFolder);
// Empties every live root.
void ZQI_ClearSchemeRoots();

// Clears and fills the roots from the platform (documents, resource folder, project checkout,
// application data; http becomes "http://"), then publishes them. False when the user root
// could not be found; the other roots are still set.
bool ZQI_InitializeBasePaths();
// Fills the staging roots docs, res, project and user from the platform. True when the user
// root is not empty.
bool ZQI_InitializeNativeRoots();

// The platform's folder for a shell folder id, "/"-separated with "/.." folded; empty when the
// platform has none. The folder is created when missing.
void ZQI_GetShellFolderPath(String& out, int32_t folderId);
// The resource folder: "<exe folder>/<exe name>_Data" when it holds "prog.xml", else the
// executable's own folder.
void ZQI_GetResourceDirectory(String& out);
// The resource folder for an executable's full file name (either separator).
void ZQI_GetResourceDirectoryOfExecutable(String& out, const char* executablePath);
