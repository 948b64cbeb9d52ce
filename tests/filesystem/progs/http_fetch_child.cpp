// Another engine instance for the http:// tests: opens the URL through the http file system over
// the cache folder and writes what it read to the output file; or, given a store step (its
// number in StoreSteps.h), ends itself right before it, as a killed process ends.
// Arguments: cache folder, URL, output file[, step]. Exit code 0 when the opening succeeded,
// 3 when it ended itself at the step.
#include <cstdio>
#include <cstdlib>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "../StoreSteps.h"
#include "filesystem/HTTPSystem.h"
#include "filesystem/SchemeRoots.h"

using namespace ZQFileSystem;

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        return 2;
    }
    const int endAt = argc == 5 ? atoi(argv[4]) : -1;
    ZQI_SetSchemeRoot(SCHEME_CACHE, argv[1]);
    StoreStepSystem cache([&](StoreStep step, const char*) {
        if (step == endAt) {  // no C buffer flushed, no file closed
#if defined(_WIN32)
            TerminateProcess(GetCurrentProcess(), 3);
#endif
            _exit(3);
        }
        return true;
    });
    HTTPSystem http(&cache);
    File* file = http.OpenFile(SCHEME_HTTP, argv[2], FILE_MODE_READ);
    if (file == nullptr) {
        return 1;
    }
    std::string bytes(static_cast<size_t>(file->size), '\0');
    bytes.resize(static_cast<size_t>(file->Read(&bytes[0], bytes.size())));
    cache.CloseFile(file);
    FILE* out = fopen(argv[3], "wb");
    const bool written = out != nullptr && fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return out != nullptr && fclose(out) == 0 && written ? 0 : 2;
}
