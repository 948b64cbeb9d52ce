// A second engine process for the http:// tests: opens one URL through the http file system
// over a given cache folder, as another instance of the engine would, and writes the bytes it
// read to a file of the test's. Arguments: cache folder, URL, output file. Exit code 0 when the
// opening succeeded (whatever it read), 1 when it failed, 2 on bad arguments.
#include <cstdio>
#include <string>

#include "filesystem/HTTPSystem.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/WindowsPOSIXSystem.h"

using namespace ZQFileSystem;

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: http_fetch_child <cache folder> <url> <output file>\n");
        return 2;
    }
    ZQI_SetSchemeRoot(SCHEME_CACHE, argv[1]);
    WindowsPOSIXSystem cache(false);
    HTTPSystem http(&cache);
    File* file = http.OpenFile(SCHEME_HTTP, argv[2], FILE_MODE_READ);
    std::string bytes;
    if (file != nullptr) {
        char piece[65536];
        for (;;) {
            uint64_t got = file->Read(piece, sizeof(piece));
            if (got == 0) {
                break;
            }
            bytes.append(piece, static_cast<size_t>(got));
        }
        cache.CloseFile(file);
    }
    FILE* out = fopen(argv[3], "wb");
    if (out == nullptr) {
        return 2;
    }
    const bool written = fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const bool closed = fclose(out) == 0;
    if (!written || !closed) {
        return 2;
    }
    return file != nullptr ? 0 : 1;
}
