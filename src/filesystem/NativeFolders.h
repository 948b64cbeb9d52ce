// Making native folders below a scheme's root, with the access list that lets every user of the
// machine reach the shared user folders (docs, save, user).
#pragma once

#include "filesystem/NativePlatform.h"
#include "filesystem/VirtualPath.h"
#include "foundation/String.h"

// Longest folder name component the recursive creation accepts.
enum { ZQI_MAX_FOLDER_COMPONENT = 1023 };

// True for docs, save and user: their folders grant Everyone full access.
bool ZQI_SchemeUsesAccessList(SchemeId scheme);
// Makes one folder (access list as the scheme wants); an existing folder counts as success.
bool ZQI_CreateNativeDirectory(SchemeId scheme, const char* nativePath);
// The same with the raw outcome: the caller decides about an existing folder.
ZQI_NativeFolderResult ZQI_CreateNativeDirectoryWithACL(SchemeId scheme, const String& nativePath);
// Makes every folder of the path below the scheme's root, one component at a time. False (with
// a logged error) when the path is not below the root, or a component is too long or cannot be
// made for any reason other than already existing. The root itself is not made here.
bool ZQI_CreateDirectoryRecursive(SchemeId scheme, const char* nativePath);
