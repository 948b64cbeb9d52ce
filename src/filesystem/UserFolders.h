// The user's folders of one program: a root under the application-data folder named by the
// developer and the program's user folder name, with "cache", "documents", "logs" and "save"
// below it. Start-up calls this once the manifest has given the two names.
#pragma once

// user = "<application data>/<developer>/<user folder>", made by the user file system (with the
// access list); cache and logs become folders below it, docs and save too unless the platform
// already gave them a folder of their own; then "user://cache", "user://logs" and (when docs has
// no folder of its own) "user://documents" are made. False, with a logged error, when a name is
// empty or could leave its folder ("..", separators, drive letters), when there is no user file
// system or application-data root, or when the user root cannot be made.
bool ZQI_InitializeUserFolders(const char* developerName, const char* userFolderName);
