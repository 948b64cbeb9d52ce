// Fuzz target: the path checks and conversions on arbitrary text. The bytes up to the first NUL
// are the path; what follows it (if anything) is a wildcard text matched against the path.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "filesystem/FileSystemApi.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/VirtualPath.h"
#include "filesystem/Wildcard.h"

namespace {

void SetRootsOnce() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    ZQI_SetSchemeRoot(SCHEME_RES, "C:/Game/Data");
    ZQI_SetSchemeRoot(SCHEME_USER, "C:/Users/u/AppData/Dev/Prog");
    ZQI_SetSchemeRoot(SCHEME_CACHE, "C:/Users/u/AppData/Dev/Prog/cache");
    ZQI_SetSchemeRoot(SCHEME_HTTP, "http://");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetRootsOnce();
    std::string input(reinterpret_cast<const char*>(data), size);
    const char* path = input.c_str();
    size_t pathLength = strlen(path);
    const char* pattern = pathLength < size ? path + pathLength + 1 : "";

    SchemeId scheme = ZQI_GetSchemeId(path);
    bool valid = false;
    for (int flags = 0; flags < 4; ++flags) {
        valid = ZQI_IsPathValid(path, (flags & 1) != 0, (flags & 2) != 0) || valid;
    }
    if (valid && ZQI_IsPathValid(path, true, true)) {
        // A valid scheme path lies below its root: no separator or parent step can lead out.
        String native;
        ConvertPathToNativePath(native, scheme, path);
        if (strstr(native.CStr(), "..") != nullptr || strchr(native.CStr(), '\\') != nullptr) {
            __builtin_trap();
        }
    }
    String normalized(path);
    ZQI_NormalizePath(normalized);
    String back;
    ZQI_ConvertNativePathToPath(back, path);
    String osPath;
    ZQ_ConvertStaticPathToNativeOSPath(osPath, path);
    Array<String> wildcards;
    ZQI_ParseWildcards(pattern, wildcards);
    // Matching takes name length times pattern length by design (names are file names); the
    // long inputs that exercise the path functions would only time out here.
    const size_t kLongestMatchedText = 4096;
    if (pathLength <= kLongestMatchedText && strlen(pattern) <= kLongestMatchedText) {
        ZQI_MatchWildcard(path, pattern);
    }
    return 0;
}
