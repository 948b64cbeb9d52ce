// Reading and writing compiled font files. A file is read whole and parsed into a new glyph
// table; the font takes the table and the header values only when every record was complete.
#include "fonts/FontFile.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "filesystem/FileSystemApi.h"
#include "filesystem/FolderLock.h"
#include "filesystem/VirtualPath.h"
#include "fonts/FontMessages.h"
#include "fonts/FontServices.h"
#include "foundation/String.h"

namespace {

const char kMagic[] = "DIZ_Font_v7";  // 11 characters and the NUL; byte 10 is the version digit
const size_t kMagicLength = 12;
const size_t kEncodingMaxRead = 32;
const int32_t kNewestVersion = 7;
const int32_t kFirstModernVersion = 6;
// The smallest glyph records: code, y offset, x offset, advance, kerning flag, width, height.
const size_t kMinGlyphV7 = 4 + 4 + 2 + 2 + 1 + 2 + 2;
const size_t kMinGlyphV6 = 4 + 2 + 2 + 2 + 1 + 2 + 2;

const char* FontName(const zq_font_t* font) {
    return font->name != nullptr ? font->name : "";
}

void ReportCorrupt(const zq_font_t* font) {
    ZQI_FontPopup(1, "Font '%s' is truncated or corrupt.", FontName(font));
}

void SwapRedBlue(uint8_t* pixels, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint8_t red = pixels[i * 4];
        pixels[i * 4] = pixels[i * 4 + 2];
        pixels[i * 4 + 2] = red;
    }
}

// Reads width x height RGBA pixels when both are at least 1 (a null buffer otherwise). False
// when the file has fewer bytes left than the pixels need, or memory runs out.
bool ReadGlyphPixels(FontFileReader& reader, FontGlyph* glyph, uint16_t width, uint16_t height, bool swap) {
    if (width < 1 || height < 1) {
        return true;
    }
    size_t bytes = static_cast<size_t>(width) * height * 4;
    if (bytes > reader.Left()) {
        return false;
    }
    uint8_t* pixels = static_cast<uint8_t*>(malloc(bytes));
    if (pixels == nullptr || !reader.Read(pixels, bytes)) {
        free(pixels);
        return false;
    }
    if (swap) {
        SwapRedBlue(pixels, bytes / 4);
    }
    ZQI_SetGlyphPixels(glyph, pixels, width, height);
    return true;
}

// Inserts the glyph; a code point already present keeps its first record and this one's
// buffers are freed.
void InsertOrDrop(FontGlyphTable* table, uint32_t code, FontGlyph& glyph) {
    if (ZQI_InsertFontGlyph(table, code, glyph) == nullptr) {
        ZQI_FreeGlyphPixels(&glyph);
        free(glyph.kerning);
    }
}

// Reads the encoding name: one byte at a time until a NUL or maxRead bytes. True when it is "UTF-8".
bool ReadEncoding(FontFileReader& reader, size_t maxRead, bool* utf8) {
    char name[kEncodingMaxRead + 1] = {};
    size_t length = 0;
    for (size_t i = 0; i < maxRead; ++i) {
        uint8_t c;
        if (!reader.ReadU8(&c)) {
            return false;
        }
        if (c == 0) {
            break;
        }
        if (length < kEncodingMaxRead) {
            name[length++] = static_cast<char>(c);
        }
    }
    *utf8 = strcmp(name, "UTF-8") == 0;
    return true;
}

struct Header {
    bool utf8;
    int32_t baseMetric, size, lineHeight;
    float spread, smoothing, scale;
};

bool ReadModernGlyph(FontFileReader& reader, int32_t version, bool swap, FontGlyphTable* table) {
    FontGlyph glyph = ZQI_EmptyFontGlyph();
    uint32_t code;
    int16_t xOffset, advance;
    uint8_t hasKerning;
    if (!reader.ReadU32(&code)) {
        return false;
    }
    if (version >= 7) {
        if (!reader.ReadF32(&glyph.yOffset)) {
            return false;
        }
    } else {
        int16_t yOffset;
        if (!reader.ReadI16(&yOffset)) {
            return false;
        }
        glyph.yOffset = yOffset;
    }
    if (!reader.ReadI16(&xOffset) || !reader.ReadI16(&advance) || !reader.ReadU8(&hasKerning)) {
        return false;
    }
    glyph.xOffset = xOffset;
    glyph.advance = advance;
    // Only a glyph stored with a row gets one: a missing row kerns by 0 everywhere, and 256 bytes
    // for every glyph would make a font without kerning take 16 times its file size.
    if (hasKerning != 0 && !ZQI_EnsureGlyphKerning(&glyph)) {
        return false;
    }
    uint16_t width, height;
    bool ok = (hasKerning == 0 || reader.Read(glyph.kerning, FONT_KERNING_ROW)) && reader.ReadU16(&width) &&
              reader.ReadU16(&height) && ReadGlyphPixels(reader, &glyph, width, height, swap);
    if (!ok) {
        free(glyph.kerning);
        return false;
    }
    InsertOrDrop(table, code, glyph);
    return true;
}

bool ReadModernFontFile(zq_font_t* font, FontFileReader& reader, int32_t version) {
    Header header = {};
    uint32_t count = 0;
    bool ok = ReadEncoding(reader, kEncodingMaxRead, &header.utf8) && reader.ReadI32(&header.baseMetric) &&
              reader.ReadI32(&header.size) && reader.ReadI32(&header.lineHeight);
    if (ok && version >= 7) {
        ok = reader.ReadF32(&header.spread) && reader.ReadF32(&header.smoothing) && reader.ReadF32(&header.scale);
    }
    ok = ok && reader.ReadU32(&count);
    size_t minGlyph = version >= 7 ? kMinGlyphV7 : kMinGlyphV6;
    if (!ok || count > reader.Left() / minGlyph) {
        ReportCorrupt(font);
        return false;
    }
    FontGlyphTable* table = ZQI_NewFontGlyphTable();
    if (table == nullptr) {
        return false;
    }
    bool swap = ZQI_GetFontGraphicsHooks().pixelOrderBlueFirst == 1;
    for (uint32_t i = 0; i < count; ++i) {
        if (!ReadModernGlyph(reader, version, swap, table)) {
            ZQI_DeleteFontGlyphTable(table);
            ReportCorrupt(font);
            return false;
        }
    }
    ZQI_RefillFontGlyphDirectArray(table);
    FreeFontGlyphTable(font);
    font->glyphs = table;
    font->utf8 = header.utf8 ? 1 : 0;
    font->baseMetric = header.baseMetric;
    font->size = header.size;
    font->lineHeight = header.lineHeight;
    if (version >= 7) {
        font->distanceSpread = header.spread;
        font->distanceSmoothing = header.smoothing;
        // A scale that is not a positive number would divide every drawn position by nonsense.
        font->scale = std::isfinite(header.scale) && header.scale > 0.0f ? header.scale : 1.0f;
        if (header.spread > 0.0f) {
            font->flags |= FONT_FLAG_DISTANCE_FIELD;
        } else {
            font->flags &= static_cast<uint8_t>(~FONT_FLAG_DISTANCE_FIELD);
        }
    }
    return true;
}

bool ReadLegacyGlyph(FontFileReader& reader, int32_t version, bool swap, uint32_t code, FontGlyphTable* table) {
    FontGlyph glyph = ZQI_EmptyFontGlyph();
    int16_t yOffset, xOffset = 0, advance = 0;
    uint16_t width, height;
    if (!reader.ReadI16(&yOffset) || (version >= 2 && !reader.ReadI16(&xOffset)) || !reader.ReadI16(&advance) ||
        !ZQI_EnsureGlyphKerning(&glyph)) {
        free(glyph.kerning);
        return false;
    }
    bool ok = (version < 4 || reader.Read(glyph.kerning, FONT_KERNING_ROW)) && reader.ReadU16(&width) &&
              reader.ReadU16(&height) && (version < 3 || reader.ReadI16(&advance)) &&
              ReadGlyphPixels(reader, &glyph, width, height, swap);
    if (!ok) {
        free(glyph.kerning);
        return false;
    }
    glyph.yOffset = yOffset;
    glyph.xOffset = xOffset;
    glyph.advance = version <= 2 ? static_cast<int16_t>(width + 1) : advance;
    InsertOrDrop(table, code, glyph);
    return true;
}

// Appends bytes to a growing malloc'd block.
struct ByteWriter {
    uint8_t* data = nullptr;
    size_t size = 0;
    size_t capacity = 0;
    bool failed = false;

    void Write(const void* bytes, size_t count) {
        if (failed) {
            return;
        }
        if (size + count > capacity) {
            size_t grown = capacity * 2 > size + count ? capacity * 2 : size + count + 4096;
            uint8_t* block = static_cast<uint8_t*>(realloc(data, grown));
            if (block == nullptr) {
                failed = true;
                return;
            }
            data = block;
            capacity = grown;
        }
        memcpy(data + size, bytes, count);
        size += count;
    }
    void U8(uint8_t v) { Write(&v, 1); }
    void U16(uint16_t v) {
        uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        Write(b, 2);
    }
    void U32(uint32_t v) {
        uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 24)};
        Write(b, 4);
    }
    void F32(float v) {
        uint32_t bits;
        memcpy(&bits, &v, 4);
        U32(bits);
    }
};

// The pixels written for a glyph: its own, or for a lower-case copy of a Latin-1 font (which
// has none of its own) those of its upper-case glyph; null when there are none to write.
const uint8_t* PixelsToWrite(zq_font_t* font, uint32_t code, const FontGlyph& glyph) {
    const zq_bitmap_t& bitmap = glyph.bitmap;
    if (bitmap.width <= 0 || bitmap.height <= 0) {
        return nullptr;
    }
    if (bitmap.pixels != nullptr) {
        return bitmap.pixels;
    }
    if (font->utf8 == 0 && code >= 'a' && code <= 'z') {
        const FontGlyph* upper = ZQI_FONTS_FindGlyph(font, code - 'a' + 'A');
        if (upper != nullptr && upper->bitmap.pixels != nullptr && upper->bitmap.width == bitmap.width &&
            upper->bitmap.height == bitmap.height) {
            return upper->bitmap.pixels;
        }
    }
    return nullptr;
}

void WriteGlyph(ByteWriter& out, zq_font_t* font, uint32_t code, const FontGlyph& glyph, bool swap) {
    out.U32(code);
    out.F32(glyph.yOffset);
    out.U16(static_cast<uint16_t>(glyph.xOffset));
    out.U16(static_cast<uint16_t>(glyph.advance));
    out.U8(glyph.kerning != nullptr ? 1 : 0);
    if (glyph.kerning != nullptr) {
        out.Write(glyph.kerning, FONT_KERNING_ROW);
    }
    const uint8_t* pixels = PixelsToWrite(font, code, glyph);
    uint16_t width = pixels != nullptr ? static_cast<uint16_t>(glyph.bitmap.width) : 0;
    uint16_t height = pixels != nullptr ? static_cast<uint16_t>(glyph.bitmap.height) : 0;
    out.U16(width);
    out.U16(height);
    if (pixels == nullptr) {
        return;
    }
    size_t bytes = static_cast<size_t>(width) * height * 4;
    size_t start = out.size;
    out.Write(pixels, bytes);
    if (swap && !out.failed) {
        SwapRedBlue(out.data + start, bytes / 4);
    }
}

}  // namespace

bool FontFileReader::Read(void* out, size_t count) {
    if (count > Left()) {
        return false;
    }
    memcpy(out, bytes + position, count);
    position += count;
    return true;
}

bool FontFileReader::ReadU8(uint8_t* out) {
    return Read(out, 1);
}

bool FontFileReader::ReadU16(uint16_t* out) {
    uint8_t b[2];
    if (!Read(b, 2)) {
        return false;
    }
    *out = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
}

bool FontFileReader::ReadI16(int16_t* out) {
    uint16_t value;
    if (!ReadU16(&value)) {
        return false;
    }
    *out = static_cast<int16_t>(value);
    return true;
}

bool FontFileReader::ReadU32(uint32_t* out) {
    uint8_t b[4];
    if (!Read(b, 4)) {
        return false;
    }
    *out = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
           (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

bool FontFileReader::ReadI32(int32_t* out) {
    uint32_t value;
    if (!ReadU32(&value)) {
        return false;
    }
    *out = static_cast<int32_t>(value);
    return true;
}

bool FontFileReader::ReadF32(float* out) {
    uint32_t value;
    if (!ReadU32(&value)) {
        return false;
    }
    memcpy(out, &value, 4);
    return true;
}

bool FontFileReader::Skip(size_t count) {
    if (count > Left()) {
        return false;
    }
    position += count;
    return true;
}

bool ZQI_ReadFontFromMemory(zq_font_t* font, const uint8_t* bytes, size_t size) {
    if (font == nullptr) {
        return false;
    }
    FontFileReader reader = {bytes, size, 0};
    char magic[kMagicLength] = {};
    if (!reader.Read(magic, kMagicLength - 1)) {
        ReportCorrupt(font);
        return false;
    }
    char digit = magic[10];
    int32_t version = digit >= '0' && digit <= '9' ? digit - '0' : 0;
    if (version == 0 || version > kNewestVersion) {
        ZQI_FontPopup(1, "Font '%s' has invalid header ('%s')", FontName(font), magic);
        return false;
    }
    if (!reader.Skip(1)) {
        ReportCorrupt(font);
        return false;
    }
    if (version < kFirstModernVersion) {
        return ReadLegacyFontFile(font, reader, version);
    }
    return ReadModernFontFile(font, reader, version);
}

bool ReadLegacyFontFile(zq_font_t* font, FontFileReader& reader, int32_t version) {
    Header header = {};
    bool ok = ReadEncoding(reader, reader.Left(), &header.utf8) && reader.ReadI32(&header.baseMetric) &&
              reader.ReadI32(&header.size) && reader.ReadI32(&header.lineHeight) && reader.Skip(256);
    if (!ok) {
        ReportCorrupt(font);
        return false;
    }
    FontGlyphTable* table = ZQI_NewFontGlyphTable();
    if (table == nullptr) {
        return false;
    }
    // Version 5 stores R, G, B, A like the newer files; versions 1 to 4 store B, G, R, A.
    bool blueFirst = ZQI_GetFontGraphicsHooks().pixelOrderBlueFirst == 1;
    bool swap = version == 5 ? blueFirst : !blueFirst;
    for (uint32_t code = 0; code < 256; ++code) {
        if (!ReadLegacyGlyph(reader, version, swap, code, table)) {
            ZQI_DeleteFontGlyphTable(table);
            ReportCorrupt(font);
            return false;
        }
    }
    ZQI_RefillFontGlyphDirectArray(table);
    FreeFontGlyphTable(font);
    font->glyphs = table;
    font->utf8 = header.utf8 ? 1 : 0;
    font->baseMetric = header.baseMetric;
    font->size = header.size;
    font->lineHeight = header.lineHeight;
    return true;
}

uint8_t* ZQI_ReadWholeFile(const char* path, size_t* size) {
    zq_file_t* file = ZQ_FileSystem_OpenFile(path, "r");
    if (file == nullptr) {
        return nullptr;
    }
    uint64_t length = file->size;
    uint8_t* bytes = length < SIZE_MAX ? static_cast<uint8_t*>(malloc(static_cast<size_t>(length) + 1)) : nullptr;
    if (bytes != nullptr && ZQ_FileSystem_ReadFile(bytes, length, file) != length) {
        free(bytes);
        bytes = nullptr;
    }
    ZQ_FileSystem_CloseFile(file);
    *size = static_cast<size_t>(length);
    return bytes;
}

bool ReadFontFile(zq_font_t* font) {
    if (font == nullptr) {
        return false;
    }
    size_t size = 0;
    uint8_t* bytes = ZQI_ReadWholeFile(FontName(font), &size);
    if (bytes == nullptr) {
        ZQI_FontPrint("Font '%s' file not found.", FontName(font));
        return false;
    }
    bool ok = ZQI_ReadFontFromMemory(font, bytes, size);
    free(bytes);
    return ok;
}

uint8_t* ZQI_WriteFontToMemory(zq_font_t* font, size_t* size) {
    ByteWriter out;
    out.Write(kMagic, kMagicLength);
    const char* encoding = font->utf8 != 0 ? "UTF-8" : "LATIN-1";
    out.Write(encoding, strlen(encoding) + 1);
    out.U32(static_cast<uint32_t>(font->baseMetric));
    out.U32(static_cast<uint32_t>(font->size));
    out.U32(static_cast<uint32_t>(font->lineHeight));
    out.F32(font->distanceSpread);
    out.F32(font->distanceSmoothing);
    out.F32(font->scale);
    out.U32(static_cast<uint32_t>(ZQI_GetFontGlyphCount(font)));
    bool swap = ZQI_GetFontGraphicsHooks().pixelOrderBlueFirst == 1;
    if (font->glyphs != nullptr) {
        for (FontGlyphNode* node : font->glyphs->order) {
            WriteGlyph(out, font, node->code, node->glyph, swap);
        }
    }
    if (out.failed) {
        free(out.data);
        return nullptr;
    }
    *size = out.size;
    return out.data;
}

// The bytes go to "<path>.tmp", which replaces the target only once it is written whole, so a
// failure part way (a full disk, no memory for the image) never leaves a cut or empty file that
// later runs would refuse. A path without a scheme names the file the search paths find. Another
// instance of the game saving the same font uses the same temporary file: the folder's lock is
// held from its writing until it has replaced the target or been deleted.
bool SaveFontFile(zq_font_t* font, const char* path) {
    if (font == nullptr) {
        return false;
    }
    const char* target = path != nullptr ? path : "";
    ZQI_FontPrint("..saving font '%s'..", target);
    const char* resolved =
        ZQI_GetSchemeId(target) == SCHEME_PLAIN ? ZQI_ResolveFilePath(target, true) : target;
    String finalPath(resolved != nullptr ? resolved : target);
    String temporaryPath = String::FromFormat("%s.tmp", finalPath.CStr());
    ZQFileSystem::FolderLock lock;
    String why;
    const ZQI_NativeLockResult taken =
        lock.TakeForFile(finalPath.CStr(), ZQFileSystem::ZQI_SAVE_FOLDER_WAIT_MILLISECONDS, why);
    if (taken == NATIVE_LOCK_BUSY || taken == NATIVE_LOCK_FAILED) {
        ZQI_FontPopup(1, "Failed to save font '%s', since %s.", target, why.CStr());
        return false;
    }
    // A path in no folder (or a folder that is not there) has nothing on disk to share: the
    // opening below goes ahead, and fails where there is no folder.
    zq_file_t* file = target[0] != '\0' ? ZQ_FileSystem_OpenFile(temporaryPath.CStr(), "w") : nullptr;
    if (file == nullptr) {
        ZQI_FontPopup(1, "Failed to save font '%s'", target);
        return false;
    }
    size_t size = 0;
    uint8_t* image = ZQI_WriteFontToMemory(font, &size);
    bool written = image != nullptr && ZQ_FileSystem_WriteFile(image, size, file) == size;
    // The writes only filled a buffer: a full disk shows when it is flushed and closed.
    written = ZQI_FlushFile(file) && written;
    written = ZQI_CloseFile(file) && written;
    free(image);
    if (!written || !ZQI_ReplaceFile(temporaryPath.CStr(), finalPath.CStr())) {
        ZQ_FileSystem_DeleteFile(temporaryPath.CStr());
        ZQI_FontPopup(1, "Failed to save font '%s'", target);
        return false;
    }
    return true;
}
