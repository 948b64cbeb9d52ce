// Another engine instance for the two-process http:// test: opens the URL through the http file
// system over the cache folder and writes what it read to the output file.
// Arguments: cache folder, URL, output file. Exit code 0 when the opening succeeded.
#include <cstdio>
#include <string>

#include "filesystem/HTTPSystem.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/WindowsPOSIXSystem.h"

using namespace ZQFileSystem;

int main(int argc, char** argv) {
    if (argc != 4) {
        return 2;
    }
    ZQI_SetSchemeRoot(SCHEME_CACHE, argv[1]);
    WindowsPOSIXSystem cache(false);
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
