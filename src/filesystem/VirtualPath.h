// Virtual paths: the schemes and their numbers, the checks every path passes before use, and the
// conversions between virtual paths and native paths through the table of scheme roots.
// Pure text work: nothing here opens a file.
#pragma once

#include <cstdint>

#include "foundation/String.h"

// Numbers the schemes; indexes the table of file systems and the table of scheme roots.
typedef int32_t SchemeId;
enum : SchemeId {
    SCHEME_RES = 0,
    SCHEME_CACHE = 1,
    SCHEME_DOCS = 2,
    SCHEME_HTTP = 3,
    SCHEME_LOGS = 4,
    SCHEME_MEM = 5,
    SCHEME_PROJECT = 6,  // only while developer mode is on
    SCHEME_SAVE = 7,
    SCHEME_USER = 8,
    SCHEME_UGC = 9,
    SCHEME_TABLE_SIZE = 10,  // the tables hold ids 0-9; no scheme has id 10
    SCHEME_PLAIN = 11,       // the path contains no "://"
    SCHEME_UNKNOWN = 12      // an unknown scheme, or "project://" outside developer mode
};

// A virtual path must be shorter than this many bytes.
enum { ZQI_MAX_VIRTUAL_PATH = 512 };
// Native http paths (URLs) longer than this are reported.
enum { ZQI_MAX_NATIVE_PATH = 260 };

// True for ids 0-9, the ones with a root and a file-system slot.
inline bool ZQI_IsTableScheme(SchemeId id) {
    return id >= 0 && id < SCHEME_TABLE_SIZE;
}

// The scheme of a path (null counts as plain).
SchemeId ZQI_GetSchemeId(const char* path);
// "res", "cache" ...; "" for project, 10, plain, unknown and anything else.
const char* ZQI_GetSchemeName(SchemeId id);

// The checks every path passes: no null, a known scheme (or none unless requireScheme), shorter
// than 512 bytes, a rest (after "://") that does not begin with "/", is not empty (unless
// allowEmpty and the path has a scheme), holds no ".." or "//" and only the characters
// " ()-./0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz".
bool ZQI_IsPathValid(const char* path, bool requireScheme, bool allowEmpty);
// True when every character is allowed in a path (the set above).
bool ZQI_IsPathCharacter(char c);

// In place: every "\" becomes "/", then each "/.." is removed with the component before it.
void ZQI_NormalizePath(String& text);

// The native path of a path with a scheme: the scheme's root, "/" when the root is not empty
// and does not end in one, then the text after "://". An http path gives its URL. Empty when
// the path has no "://" or the id has no root slot.
void ConvertPathToNativePath(String& out, SchemeId id, const char* path);
// The same for callers outside the file systems (bitmap sequences, image saving, fonts): root,
// one "/", the text after "://". Empty for plain and unknown paths and for schemes without a
// root folder; an http path gives its URL.
void ZQ_ConvertStaticPathToNativeOSPath(String& out, const char* path);
// The virtual path of a native path: the first root (in id order) that contains it gives the
// scheme. Empty when it lies under no root.
void ZQI_ConvertNativePathToPath(String& out, const char* nativePath);
