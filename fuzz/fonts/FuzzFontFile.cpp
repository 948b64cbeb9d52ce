// Fuzz target: any bytes as a compiled font file. A file that reads is written back out and read
// again, which must succeed with the same glyph count.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/ApiTable.h"
#include "fonts/FontFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ZQI_BuildApiTables();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zq_font_t font{};
    font.name = const_cast<char*>("fuzz.mft");
    font.glyphs = nullptr;
    font.flags = 0;
    font.scale = 1.0f;
    if (ZQI_ReadFontFromMemory(&font, data, size)) {
        size_t written = 0;
        uint8_t* image = ZQI_WriteFontToMemory(&font, &written);
        int32_t count = ZQI_GetFontGlyphCount(&font);
        FreeFontGlyphTable(&font);
        if (image != nullptr) {
            if (!ZQI_ReadFontFromMemory(&font, image, written) || ZQI_GetFontGlyphCount(&font) != count) {
                abort();
            }
            FreeFontGlyphTable(&font);
            free(image);
        }
    }
    return 0;
}
