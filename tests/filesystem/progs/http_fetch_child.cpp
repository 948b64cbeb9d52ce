// Another engine instance for the http:// tests: opens the URL through the http file system over
// the cache folder and writes what it read to the output file. With a fourth argument, a step of
// the download's store ("write", "flush", "close", "rename", "read"; see StoreSteps.h), it ends
// itself right before that step instead, as a killed process ends: no C buffer flushed, no file
// closed by the program.
// Arguments: cache folder, URL, output file[, step]. Exit code 0 when the opening succeeded,
// 3 when it ended itself at the step.
#include <cstdio>
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

namespace {

const int kEndedAtTheStep = 3;

[[noreturn]] void EndAtOnce() {
#if defined(_WIN32)
    TerminateProcess(GetCurrentProcess(), kEndedAtTheStep);
#endif
    _exit(kEndedAtTheStep);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        return 2;
    }
    StoreStep endAt = STORE_OPEN;
    const bool ending = argc == 5;
    if (ending && !StoreStepFromName(argv[4], &endAt)) {
        return 2;
    }
    ZQI_SetSchemeRoot(SCHEME_CACHE, argv[1]);
    StoreStepSystem cache([&](StoreStep step, const char*) {
        if (ending && step == endAt) {
            EndAtOnce();
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
