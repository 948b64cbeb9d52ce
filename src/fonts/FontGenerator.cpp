// The font generator: reads the font source, builds the glyph set, renders or cuts the glyphs,
// then spacing, kerning, vertical metrics and effects, in that order.
#include "fonts/FontGenerator.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "fonts/FontMessages.h"
#include "fonts/FontServices.h"
#include "fonts/FontSource_local.h"
#include "fonts/GlyphSets.h"
#include "fonts/TrueTypeGlyphs.h"
#include "foundation/Path.h"
#include "foundation/TextUtils.h"

namespace {

const char kNoArrays[] = "Font database not found or doesn't contain any arrays.";
const char kBadSettings[] = "Array 'settings' is missing or has bad parms - see specifications.";
const char kBadVersion[] = "Font database is of invalid version.";
const char kOldVersion[] = "Distance field support requires font database version 2 or later.";
const char kBadFieldSize[] = "Distance field size_px must be greater than 0.";
const char kBadSpread[] = "Distance field spread is invalid.";
const char kBadSmoothing[] = "Distance field smoothing is invalid.";
const char kBadFieldScale[] = "Distance field scale is invalid.";
const char kBadGlyphs[] = "Array 'glyphs' is missing or has bad parms - see specifications.";
const char kBadSize[] = "Font size_px is invalid.";
const char kNoTrueType[] = "TrueType input could not be opened.";
const char kNoBitmap[] = "Bitmap input could not be read.";
const char kBadGlyphSpacing[] = "Array 'glyphs' has a spacing out of range.";
const char kBadColour[] = "Array 'effects' has a colour out of range.";
// Spacings and offsets are pixels of a glyph's 16-bit placement: beyond it they are nonsense,
// and bounding them keeps every sum made of them inside an integer.
const float kLargestPixelSetting = 32767.0f;
// The largest side a resized bitmap input may have (the largest texture side).
const float kLargestResizedImage = 16384.0f;

// What the settings array says, with its defaults.
struct SourceSettings {
    int32_t version;
    const char* ttf;
    const char* bitmap;
    const char* strings;
    const char* style;
    const char* fallback;
    float sizePx;
    const char* tags;
    float spacing;          // SPACING, then adjusted for the output scale
    float kernThreshold;    // AUTO_KERN_THRESHOLD
    int32_t safeZone;       // Y_SAFEZONE
    float linePadding;      // LINE_PADDING_OFFSET
    float heightMultiplier; // FONT_HEIGHT_MULTIPLIER
    float yOffset;          // Y_OFFSET
    float outputScale;
};

struct Generation {
    zq_font_t* font;
    String sourcePath;
    DMDatabase* database;
    const DMArray* settings;
    const DMArray* glyphs;
    SourceSettings values;
    float spread;   // distance-field spread (0 for ordinary fonts)
    bool baseSet;   // the rendering set a base metric
    const char* failure;  // the first value found out of range while converting
    char failureText[96];
};

// A float that must become an integer: out of the int32 range (or NaN) the conversion would be
// undefined, so the generation fails, naming the setting that led there, and 0 stands in.
int32_t ToInt(Generation& g, float value, const char* setting) {
    if (value > -2147483648.0f && value < 2147483648.0f) {
        return static_cast<int32_t>(value);
    }
    if (g.failure == nullptr) {
        snprintf(g.failureText, sizeof(g.failureText), "Setting '%s' is out of range.", setting);
        g.failure = g.failureText;
    }
    return 0;
}

bool IsPixelSetting(float value) {
    return fabsf(value) <= kLargestPixelSetting;
}

// Null when SPACING, Y_OFFSET and LINE_PADDING_OFFSET are pixel values, else the reason.
const char* CheckPixelSettings(Generation& g, float spacing) {
    const struct {
        const char* name;
        float value;
    } settings[] = {
        {"SPACING", spacing}, {"Y_OFFSET", g.values.yOffset}, {"LINE_PADDING_OFFSET", g.values.linePadding}};
    for (const auto& setting : settings) {
        if (!IsPixelSetting(setting.value)) {
            ToInt(g, NAN, setting.name);
            return g.failure;
        }
    }
    return nullptr;
}

// Null when every "glyphs" node's spacing is a pixel value.
const char* CheckGlyphSpacings(const DMArray* glyphs) {
    for (int32_t i = 0; glyphs != nullptr && i < glyphs->nodes.count; ++i) {
        if (!IsPixelSetting(ZQI_NodeFloat(glyphs->nodes[i], "spacing", 0.0f))) {
            return kBadGlyphSpacing;
        }
    }
    return nullptr;
}

float SettingFloat(const DMArray* settings, const char* node, float fallback) {
    return ZQI_NodeFloat(settings->GetNode(node), "value", fallback);
}

// Null when the settings hold usable numbers, else the reason.
const char* ReadSettings(Generation& g) {
    const DMArray* s = g.settings;
    SourceSettings& v = g.values;
    v.version = ZQI_NodeInt(s->GetNode("VERSION"), "value", 1);
    v.ttf = ZQI_FontSetting(s, "INPUT", "ttf");
    v.bitmap = ZQI_FontSetting(s, "INPUT", "bitmap");
    v.strings = ZQI_FontSetting(s, "INPUT", "strings");
    v.style = ZQI_FontSetting(s, "INPUT", "style");
    v.fallback = ZQI_FontSetting(s, "INPUT", "ttf_fallback");
    v.sizePx = ZQI_NodeFloat(s->GetNode("INPUT"), "size_px", 22.0f);
    v.tags = ZQI_FontSetting(s, "TAGS", "value");
    v.kernThreshold = SettingFloat(s, "AUTO_KERN_THRESHOLD", 0.75f);
    v.safeZone = ZQI_NodeInt(s->GetNode("Y_SAFEZONE"), "value", 2);
    if (v.safeZone < 1) v.safeZone = 1;
    v.linePadding = SettingFloat(s, "LINE_PADDING_OFFSET", 0.0f);
    v.heightMultiplier = SettingFloat(s, "FONT_HEIGHT_MULTIPLIER", 1.0f);
    v.yOffset = SettingFloat(s, "Y_OFFSET", 0.0f);
    float spacing = SettingFloat(s, "SPACING", 0.0f);
    if (const char* reason = CheckPixelSettings(g, spacing)) {
        return reason;
    }
    v.outputScale = 1.0f;
    const char* scaleText = ZQI_FontSetting(s, "OUTPUT", "scale");
    if (scaleText == nullptr) {
        v.spacing = spacing;
        return nullptr;
    }
    float scale = 0.0f;
    if (!ZQI_ParseFontScale(scaleText, &scale) || !(scale >= 0.001f && scale <= 10.0f)) {
        ZQI_FontPopup(1, "ZQI_GenerateFontFromSource: scale factor %g for font %s is invalid. Use values > 0 and < 10.",
                      static_cast<double>(scale), g.font->name);
        scale = 1.0f;
    }
    v.outputScale = scale;
    v.spacing = static_cast<float>(static_cast<int32_t>(spacing * scale + 0.4f));
    if (spacing > 0.0f && v.spacing < 1.0f) {
        v.spacing = 1.0f;
    }
    return nullptr;
}

// A path of the source as given; one starting "../" is taken from the source's folder.
String SourceRelativePath(const Generation& g, const char* value) {
    if (strncmp(value, "../", 3) != 0) {
        return String(value);
    }
    String joined = ZQI_GetPathDirectory(g.sourcePath.CStr());
    joined.Append("/");
    joined.Append(value);
    return ZQI_CollapseParentDirectories(joined.CStr());
}

// The strings file's path ("!..." passes as it is); false when it cannot be found.
bool LocateStrings(const Generation& g, String& out) {
    const char* value = g.values.strings;
    if (value[0] == '!') {
        out = value;
        return true;
    }
    String path = SourceRelativePath(g, value);
    if (strncmp(path.CStr(), "../", 3) == 0) {
        ZQI_FontPopup(1, "Unable to locate file '%s' in file system.", value);
        return false;
    }
    if (!ZQ_FileSystem_FileExists(path.CStr())) {
        ZQI_FontPopup(1, "Unable to find font language strings xml source file %s", path.CStr());
        return false;
    }
    out = path;
    return true;
}

bool BuildTrueTypeGlyphSet(Generation& g) {
    zq_font_t* font = g.font;
    if (g.values.strings != nullptr) {
        ZQI_FontPrint("Using input strings from '%s'.", g.values.strings);
        String strings;
        if (!LocateStrings(g, strings)) {
            strings = "!";
        }
        font->utf8 = 1;
        return ZQI_CreateFontGlyphsArrayFromStrings(font, strings.CStr(),
                                                    g.database->GetArray("additional_utf_characters"), g.settings);
    }
    font->utf8 = 0;
    if (g.glyphs != nullptr) {
        FontGlyphTable* table = CreateFontGlyphTable(font, false);
        if (table == nullptr) {
            return false;
        }
        for (const DMNode* node : g.glyphs->nodes) {
            int32_t id = ZQI_NodeInt(node, "id", 0);
            if (id != 0) {
                ZQI_InsertFontGlyph(table, static_cast<uint32_t>(id), ZQI_EmptyFontGlyph());
            }
        }
        ZQI_RefillFontGlyphDirectArray(table);
        return true;
    }
    return CreateFontGlyphTable(font, true) != nullptr;
}

// Distance-field values; null when valid, else the failure reason.
const char* ReadDistanceField(Generation& g, float size, float* renderSize, int32_t* factor) {
    const DMNode* node = g.settings->GetNode("DISTANCE_FIELD");
    *renderSize = size;
    *factor = 1;
    if (node == nullptr) {
        return nullptr;
    }
    if (g.values.version < 2) return kOldVersion;
    *renderSize = ZQI_NodeFloat(node, "size_px", size);
    if (!(*renderSize > 0.0f)) return kBadFieldSize;
    // A negative border is meaningless; one wider than the glyphs serves nothing, and the distance
    // search costs about spread cubed per glyph (a spread of 100 took 17 s).
    float spread = ZQI_NodeFloat(node, "spread", 0.0f);
    if (!(spread > 0.0f) || !(spread <= *renderSize)) return kBadSpread;
    float smoothing = ZQI_NodeFloat(node, "smoothing", 0.25f);
    if (smoothing < 0.0f || !std::isfinite(smoothing)) return kBadSmoothing;
    // Below 1 the supersampled image would be smaller than the output: no whole factor.
    float scale = ZQI_NodeFloat(node, "scale", 1.0f);
    if (!(scale >= 1.0f) || scale > 64.0f) return kBadFieldScale;
    *factor = static_cast<int32_t>(scale);
    g.spread = spread;
    g.font->flags |= FONT_FLAG_DISTANCE_FIELD;
    g.font->distanceSmoothing = smoothing;
    g.font->distanceSpread = spread;
    return nullptr;
}

const char* GenerateFromTrueType(Generation& g) {
    const SourceSettings& v = g.values;
    ZQI_FontPrint("Using TTF source font '%s'.", v.ttf);
    String ttf;
    if (!FindFontSourceFile(ttf, g.font->name, SourceRelativePath(g, v.ttf).CStr())) {
        return kNoTrueType;
    }
    if (!BuildTrueTypeGlyphSet(g)) {
        return kNoTrueType;
    }
    float size = static_cast<float>(lroundf(v.sizePx * v.outputScale));
    float renderSize = size;
    int32_t factor = 1;
    if (const char* reason = ReadDistanceField(g, size, &renderSize, &factor)) {
        return reason;
    }
    // Glyphs are rendered at renderSize x factor pixels; beyond a texture's worth they only
    // exhaust memory.
    if (!(size >= 1.0f) || !(renderSize * static_cast<float>(factor) <= ZQI_MAX_GLYPH_RENDER_SIZE)) {
        return kBadSize;
    }
    if (!ZQI_CreateFontGlyphBitmapsFromTTF(g.font, ttf.CStr(), size, v.style, renderSize, factor, g.spread)) {
        return kNoTrueType;
    }
    g.baseSet = g.font->baseMetric != 0;
    if (v.fallback != nullptr) {
        ZQI_FontPrint("Using fallback font '%s' for missing glyphs.", v.fallback);
        String fallback;
        float scale = g.font->scale;
        if (FindFontSourceFile(fallback, g.font->name, SourceRelativePath(g, v.fallback).CStr())) {
            ZQI_CreateFontGlyphBitmapsFromTTF(g.font, fallback.CStr(), size, v.style, renderSize, factor, g.spread);
            g.font->scale = scale;
        }
        g.baseSet = g.font->baseMetric != 0;
    }
    return nullptr;
}

// The "INPUT" node whose scale is nearest to the output scale.
const DMNode* ChooseBitmapInput(const Generation& g, float* inputScale) {
    const DMNode* best = nullptr;
    float bestScale = 1.0f;
    for (const DMNode* node : g.settings->nodes) {
        if (node->id == nullptr || strncmp(node->id, "INPUT", 5) != 0 || node->GetValue("bitmap") == nullptr) {
            continue;
        }
        float scale = 1.0f;
        if (node->id[5] == '@' && !ZQI_ParseFontScale(node->id + 6, &scale)) {
            continue;
        }
        if (best == nullptr || fabsf(scale - g.values.outputScale) < fabsf(bestScale - g.values.outputScale)) {
            best = node;
            bestScale = scale;
        }
    }
    *inputScale = bestScale;
    return best;
}

const char* GenerateFromBitmap(Generation& g) {
    float inputScale = 1.0f;
    const DMNode* input = ChooseBitmapInput(g, &inputScale);
    if (input == nullptr) {
        return kBadSettings;
    }
    ZQI_FontPrint("Selecting bitmap input '%s' for scale %.2fx (closest match).", input->id,
                  static_cast<double>(inputScale));
    float remaining = g.values.outputScale / inputScale;
    ZQI_FontPrint("Adjusted scale with %s is %g.", input->id, static_cast<double>(remaining));
    String path = SourceRelativePath(g, input->GetValue("bitmap"));
    const FontGraphicsHooks& hooks = ZQI_GetFontGraphicsHooks();
    zq_bitmap_t image = {};
    if (hooks.loadImage == nullptr || !hooks.loadImage(path.CStr(), &image) || image.pixels == nullptr) {
        ZQI_FontPopup(1, "Unable to open image file '%s'. Make sure the file '%s' exist.", path.CStr(), path.CStr());
        return kNoBitmap;
    }
    if (fabsf(remaining - 1.0f) >= 1e-6f) {
        // An input scale of 0 or near it ("INPUT@0x") asks for an image no texture can hold.
        const float scaledWidth = static_cast<float>(image.width) * remaining;
        const float scaledHeight = static_cast<float>(image.height) * remaining;
        if (!(scaledWidth >= 0.0f && scaledWidth <= kLargestResizedImage && scaledHeight >= 0.0f &&
              scaledHeight <= kLargestResizedImage)) {
            free(image.pixels);
            return kBadSettings;
        }
        zq_bitmap_t resized = {};
        int32_t width = static_cast<int32_t>(scaledWidth);
        int32_t height = static_cast<int32_t>(scaledHeight);
        if (hooks.createImageResized != nullptr && hooks.createImageResized(&resized, &image, width, height) &&
            resized.pixels != nullptr) {
            free(image.pixels);
            image = resized;
        }
    }
    g.font->utf8 = 0;
    const char* reason = nullptr;
    if (g.glyphs == nullptr) {
        reason = kBadGlyphs;
    } else if (CreateFontGlyphTable(g.font, true) == nullptr ||
               !CutGlyphsFromBitmap(g.font, &image, g.glyphs, g.values.spacing)) {
        reason = kNoBitmap;
    }
    free(image.pixels);
    return reason;
}

void ReportMissingGlyphs(zq_font_t* font) {
    if (ZQI_GetFontGlyphCount(font) == 0) {
        ZQI_FontPopup(2, "Font '%s' contains no glyphs!", font->name);
        return;
    }
    for (FontGlyphNode* node : font->glyphs->order) {
        const zq_bitmap_t& bitmap = node->glyph.bitmap;
        if (node->code >= 33 && node->code != 160 && (bitmap.width < 1 || bitmap.height < 1)) {
            ZQI_FontPopup(2, "Font '%s' glyph with unicode %d (0x%x) is missing!", font->name,
                          static_cast<int32_t>(node->code), node->code);
        }
    }
}

// Bleeds every glyph once, drops near-transparent alphas, and gives Latin-1 glyphs a zero
// kerning row.
void PrepareGlyphPixels(zq_font_t* font) {
    const FontGraphicsHooks& hooks = ZQI_GetFontGraphicsHooks();
    for (FontGlyphNode* node : font->glyphs->order) {
        zq_bitmap_t& bitmap = node->glyph.bitmap;
        if (bitmap.pixels != nullptr) {
            if (hooks.bleedTransparentPixels != nullptr) {
                hooks.bleedTransparentPixels(&bitmap);
            }
            size_t count = static_cast<size_t>(bitmap.width) * bitmap.height;
            for (size_t i = 0; i < count; ++i) {
                if (bitmap.pixels[i * 4 + 3] <= 4) bitmap.pixels[i * 4 + 3] = 0;
            }
        }
        free(node->glyph.kerning);
        node->glyph.kerning = nullptr;
        if (font->utf8 == 0) {
            ZQI_EnsureGlyphKerning(&node->glyph);
        }
    }
}

// Moves every glyph up to the smallest top and derives the font's size; returns that top.
float ApplyVerticalMetrics(Generation& g) {
    zq_font_t* font = g.font;
    const bool field = (font->flags & FONT_FLAG_DISTANCE_FIELD) != 0;
    float top = 0.0f;
    bool any = false;
    for (FontGlyphNode* node : font->glyphs->order) {
        if (node->glyph.bitmap.height > 0 && (!any || node->glyph.yOffset < top)) {
            top = node->glyph.yOffset;
            any = true;
        }
    }
    if (!field) {
        top = top >= 2.0f ? top - 2.0f : 0.0f;
    }
    top += g.spread;
    const float shift = g.values.yOffset / font->scale;
    float measured = 0.0f;
    int32_t tallest = 0;
    for (FontGlyphNode* node : font->glyphs->order) {
        FontGlyph& glyph = node->glyph;
        glyph.yOffset += shift;
        if (glyph.bitmap.height > 0) {
            glyph.yOffset -= top;
            float bottom = ceilf(glyph.yOffset) + static_cast<float>(glyph.bitmap.height);
            if (bottom > measured) measured = bottom;
            if (glyph.bitmap.height > tallest) tallest = glyph.bitmap.height;
        }
    }
    float size;
    if (g.values.version > 1) {
        size = measured - static_cast<float>(ToInt(g, shift, "Y_OFFSET")) - g.spread - (field ? 0.0f : 2.0f);
    } else {
        size = static_cast<float>(tallest) - g.spread;
    }
    const float multiplied = size * g.values.heightMultiplier;
    font->size = IsPixelSetting(multiplied) ? static_cast<int32_t>(multiplied) + (field ? 1 : 0)
                                            : ToInt(g, NAN, "FONT_HEIGHT_MULTIPLIER");
    return top;
}

void ClearDisabledKerning(zq_font_t* font, const DMArray* glyphs) {
    if (glyphs == nullptr) {
        return;
    }
    for (const DMNode* node : glyphs->nodes) {
        if (!ZQI_ListContainsWord(node->GetValue("tags"), "DISABLE_AUTOKERN")) {
            continue;
        }
        uint32_t code = static_cast<uint32_t>(ZQI_NodeInt(node, "id", 0));
        FontGlyph* glyph = ZQI_FONTS_FindGlyph(font, code);
        if (glyph != nullptr && glyph->kerning != nullptr) {
            memset(glyph->kerning, 0, FONT_KERNING_ROW);
        }
        if (code >= FONT_KERNING_ROW) {
            continue;
        }
        for (FontGlyphNode* other : font->glyphs->order) {
            if (other->glyph.kerning != nullptr) other->glyph.kerning[code] = 0;
        }
    }
}

void FinishMetrics(Generation& g, float top) {
    zq_font_t* font = g.font;
    float base;
    if (g.baseSet) {
        base = static_cast<float>(((font->flags & FONT_FLAG_DISTANCE_FIELD) != 0 ? 2 : 3) - lroundf(top) +
                                  font->baseMetric);
    } else {
        base = static_cast<float>(lroundf(static_cast<float>(font->size) * 0.9f));
    }
    // The scale is size over the distance field's render size, which may be tiny.
    font->baseMetric = ToInt(g, base * font->scale, "DISTANCE_FIELD");
    font->lineHeight =
        ToInt(g, (g.values.linePadding + static_cast<float>(font->size)) * font->scale, "DISTANCE_FIELD");
    font->size = ToInt(g, static_cast<float>(font->size) * font->scale, "DISTANCE_FIELD");
}

const char* Generate(Generation& g) {
    if (g.database == nullptr || g.database->arrays.count == 0) return kNoArrays;
    g.settings = g.database->GetArray("settings");
    if (g.settings == nullptr || g.settings->GetNode("INPUT") == nullptr) return kBadSettings;
    g.glyphs = g.database->GetArray("glyphs");
    if (const char* reason = ReadSettings(g)) return reason;
    if (g.values.version < 1) return kBadVersion;
    if (const char* reason = CheckGlyphSpacings(g.glyphs)) return reason;
    if (!ZQI_FontEffectsAreValid(g.database->GetArray("effects"))) return kBadColour;
    float inputScale = 1.0f;
    if (g.values.ttf == nullptr && ChooseBitmapInput(g, &inputScale) == nullptr) {
        return kBadSettings;
    }
    zq_font_t* font = g.font;
    font->flags &= static_cast<uint8_t>(~FONT_FLAG_DISTANCE_FIELD);
    font->scale = 1.0f;
    font->baseMetric = 0;
    const char* reason = g.values.ttf != nullptr ? GenerateFromTrueType(g) : GenerateFromBitmap(g);
    if (reason != nullptr) return reason;
    ReportMissingGlyphs(font);
    if (font->glyphs == nullptr) return kNoArrays;
    ApplyGlyphSpacing(font, g.glyphs, g.values.spacing);
    PrepareGlyphPixels(font);
    if (!ZQI_ListContainsWord(g.values.tags, "DISABLE_KERN_PAIRING")) {
        ZQI_DetermineKernPairs(font, g.values.kernThreshold, g.values.safeZone);
    }
    if (font->utf8 != 0) {
        for (FontGlyphNode* node : font->glyphs->order) {
            if (node->code > 255)
                node->glyph.advance = ZQI_SaturateToInt16(node->glyph.advance + g.values.spacing);
        }
    }
    float top = ApplyVerticalMetrics(g);
    if (g.failure != nullptr) return g.failure;
    ApplyFontEffects(font, g.database->GetArray("effects"));
    ClearDisabledKerning(font, g.glyphs);
    FinishMetrics(g, top);
    return g.failure;
}

}  // namespace

bool FindFontSourceFile(String& out, const char* name, const char* sourcePath) {
    (void)name;
    if (ZQ_FileSystem_FileExists(sourcePath)) {
        out = sourcePath;
        return true;
    }
    String built = String::FromFormat("../build/%s", sourcePath);
    if (ZQ_FileSystem_IsPathValid(built.CStr()) && ZQ_FileSystem_FileExists(built.CStr())) {
        out = built;
        return true;
    }
    ZQI_FontPopup(1, "Unable to find font source file %s.", sourcePath);
    return false;
}

bool ZQI_GenerateFontFromDatabase(zq_font_t* font, DMDatabase* database, const char* sourcePath) {
    Generation g = {};
    g.font = font;
    g.sourcePath = sourcePath;
    g.database = database;
    const char* reason = Generate(g);
    if (reason != nullptr) {
        ZQI_FontPopup(1, "Failed to generate font from source '%s': %s", sourcePath, reason);
        return false;
    }
    return true;
}

bool ZQI_GenerateFontFromSource(zq_font_t* font) {
    if (font == nullptr || font->name == nullptr || font->name[0] == '\0') {
        return false;
    }
    String sourcePath = String::FromFormat("%s.xml", font->name);
    ZQI_FontPrint("Attempting to generate font from source '%s'", sourcePath.CStr());
    // Always read afresh: a source edited since its last use must be seen.
    DataManager::UnloadDatabaseByName(sourcePath.CStr());
    bool ok = ZQI_GenerateFontFromDatabase(font, DataManager::GetDatabase(sourcePath.CStr()), sourcePath.CStr());
    DataManager::UnloadDatabaseByName(sourcePath.CStr());
    return ok;
}
