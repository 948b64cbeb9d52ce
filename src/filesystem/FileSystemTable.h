// The table of file systems: one System pointer per scheme id 0-9 (one system may serve several
// ids), built once at start-up and destroyed at shutdown, and the resource-write flag.
#pragma once

#include "filesystem/FileSystem.h"

namespace ZQFileSystem {
class WindowsPOSIXSystem;
}

// Builds the roots and the system table: one native system for res, cache, docs, logs, project,
// user and ugc; the http system over it; the save system over a second native system that
// commits every write; the memory system. Then allows writing under res://, hands the engine API
// its file-system slots (and registers them for every later rebuild of the tables) and the log
// its file operations. True even when the roots are
// incomplete (that is reported with a popup).
bool ZQI_InitializeFileSystems();
// Deletes every system (each once) and empties the table; the resource-write flag clears.
void ZQI_DestroyFileSystems();

// The system serving a scheme; null for ids without one.
ZQFileSystem::System* ZQI_GetFileSystem(SchemeId id);
// Puts a system in a slot (tests). Whatever the table holds when ZQI_DestroyFileSystems runs is
// deleted by it; a caller that takes a system out again owns it.
void ZQI_SetFileSystem(SchemeId id, ZQFileSystem::System* system);

// While clear, the API refuses creating folders, deleting, and writing or appending under res://.
bool ZQI_IsResourceWriteAllowed();
void ZQI_SetResourceWriteAllowed(bool allowed);

// The save system's root folder is made at the first successful mount of a run.
bool ZQI_WasSaveRootCreated();
void ZQI_SetSaveRootCreated(bool created);
