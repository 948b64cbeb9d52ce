// A JPEG read by ReadJPEG in a process of its own, so that the rise of the resident peak is the
// reading's alone (under Wine all tests of a binary run in one process). Arguments: the JPEG file
// and the output file, which receives "loaded|refused <rise in bytes>". Exit code 0 when it ran.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "GraphicsTestSupport.h"
#include "graphics/ImageLoader.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string jpeg = bytes.str();
    zq_bitmap_t bitmap = {};
    const uint64_t peakBefore = PeakResidentBytes();
    const bool loaded = ReadJPEG(&bitmap, reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size());
    const uint64_t rise = PeakResidentBytes() - peakBefore;
    ZQI_GetImageLoader()->FreeImagePixels(&bitmap);
    FILE* out = fopen(argv[2], "wb");
    const bool written =
        out != nullptr && fprintf(out, "%s %llu", loaded ? "loaded" : "refused", (unsigned long long)rise) > 0;
    return out != nullptr && fclose(out) == 0 && written ? 0 : 2;
}
