// Fuzz target: any bytes as a font source document, generated into a font: settings, glyphs,
// effects, extra characters, strings files and bitmap strips. res:// is the DejaVu folder; any
// ".raw" bitmap name gives a small built-in strip.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/NamedMutex.h"
#include "data/DMRecords.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/SchemeRoots.h"
#include "fonts/FontGenerator.h"
#include "fonts/FontServices.h"
#include "fonts/FontSource_local.h"

namespace {

// Four glyph blocks of different heights on a 24 x 8 strip.
bool LoadStrip(const char* path, zq_bitmap_t* out) {
    size_t length = strlen(path);
    if (length < 4 || strcmp(path + length - 4, ".raw") != 0) {
        return false;
    }
    out->width = 24;
    out->height = 8;
    out->pixels = static_cast<uint8_t*>(calloc(24 * 8, 4));
    for (int32_t x = 0; x < 24; ++x) {
        for (int32_t y = 0; y < 8 && x % 6 < 4; ++y) {
            if (y >= x / 6) out->pixels[(y * 24 + x) * 4 + 3] = static_cast<uint8_t>(40 * (x % 6) + 100);
        }
    }
    return true;
}

// Keeps each run inside the fuzzer's time limit: rendering cost grows with the square of the size,
// and a distance field's with the cube of its spread (spread 32 at 96 pixels: about 5 s). Spreads
// wider than the glyphs stay in: the generator refuses them before rendering anything.
bool IsSmallEnough(const DMDatabase& database) {
    const DMArray* settings = database.GetArray("settings");
    float size = ZQI_NodeFloat(settings ? settings->GetNode("INPUT") : nullptr, "size_px", 22.0f);
    float scale = 1.0f;
    ZQI_ParseFontScale(ZQI_FontSetting(settings, "OUTPUT", "scale"), &scale);
    const DMNode* field = settings ? settings->GetNode("DISTANCE_FIELD") : nullptr;
    float fieldScale = ZQI_NodeFloat(field, "scale", 1.0f);
    float fieldSize = ZQI_NodeFloat(field, "size_px", size) * fieldScale;
    float spread = ZQI_NodeFloat(field, "spread", 0.0f);
    float renderSize = ZQI_NodeFloat(field, "size_px", roundf(size * scale));  // as the generator takes it
    bool spreadRefused = !(spread <= renderSize);
    return size * (scale > 1.0f ? scale : 1.0f) <= 48.0f && fieldSize <= 96.0f &&
           (spreadRefused || spread * fieldScale <= 32.0f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ZQI_BuildApiTables();
    ZQI_CreateCoreMutexes();
    ZQI_InitializeFileSystems();
    ZQI_SetSchemeRoot(SCHEME_RES, ZQ_FUZZ_DEJAVU_DIR);
    FontGraphicsHooks hooks = {};
    hooks.loadImage = LoadStrip;
    ZQI_SetFontGraphicsHooks(&hooks);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) {
        return 0;
    }
    DMDatabase database;
    if (size >= 4 && !database.LoadXMLFromMemory(reinterpret_cast<const char*>(data), static_cast<int32_t>(size))) {
        return 0;
    }
    if (!IsSmallEnough(database)) {
        return 0;
    }
    zq_font_t font{};
    font.name = const_cast<char*>("res://fuzz.mft");
    font.glyphs = nullptr;
    font.flags = 0;
    font.utf8 = 0;
    font.scale = 1.0f;
    font.baseMetric = font.size = font.lineHeight = 0;
    ZQI_GenerateFontFromDatabase(&font, &database, "res://fuzz.mft.xml");
    FreeFontGlyphTable(&font);
    return 0;
}
