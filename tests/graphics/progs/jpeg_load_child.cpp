// A JPEG read by ReadJPEG's code in a process of its own, so that the rise of the resident peak it
// reports is the reading's alone, whatever a test process touched before (under Wine all tests of
// a binary run in one process). Arguments: the JPEG file, the decision allowance, the output
// file, which receives "loaded|refused <rise in bytes>". Exit code 0 when it ran.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "GraphicsTestSupport.h"
#include "graphics/ImageLoader.h"
#include "graphics/JPEGScanData.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string jpeg = bytes.str();
    const ZQI_JPEGDecisionLimit limit = {std::strtoull(argv[2], nullptr, 10), ZQI_JPEG_DECISION_LIMIT.perDataBit};
    zq_bitmap_t bitmap = {};
    const uint64_t peakBefore = PeakResidentBytes();
    const bool loaded = ZQI_ReadJPEGWithin(&bitmap, reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size(),
                                           limit, nullptr);
    const uint64_t rise = PeakResidentBytes() - peakBefore;
    ZQI_GetImageLoader()->FreeImagePixels(&bitmap);
    FILE* out = fopen(argv[3], "wb");
    const bool written =
        out != nullptr && fprintf(out, "%s %llu", loaded ? "loaded" : "refused", (unsigned long long)rise) > 0;
    return out != nullptr && fclose(out) == 0 && written ? 0 : 2;
}
