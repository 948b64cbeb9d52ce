// Text drawing for Latin-1 bytes and UTF-32 code points: the text is laid out in place, then each
// line is walked with a pen. Glyphs are drawn at their own size from the atlas, or as quads turned
// through the text transform when the text is scaled or rotated; tags change colour and shader or
// draw an image. Nothing is allocated for Latin-1 text.
#include "fonts/TextDrawing.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "fonts/FontHold.h"
#include "fonts/FontMessages.h"
#include "fonts/FontTable.h"
#include "fonts/TextLayout.h"
#include "foundation/Matrix4x4.h"
#include "graphics/BatchRenderer.h"
#include "graphics/Drawing.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/RendererState.h"
#include "graphics/ShaderManager.h"
#include "graphics/TextSettings.h"

namespace {

const float kScaleTolerance = 0.0001f;
const float kDistanceFieldSizeFactor = 0.714f;
const float kNonDistanceFieldLift = 2.0f;  // such fonts are drawn this many (scaled) pixels higher
const float kCentreLineLift = 3.0f;        // and place images this many pixels lower
const int32_t kUTF32TagBytes = 512;        // a UTF-32 tag is parsed from its first 511 code points
const int32_t kColourTagCharacters = 8;    // rrggbbaa

// What drawing one text needs besides its characters.
struct TextRun {
    zq_font_t* font;
    const ThreadTextSettings* settings;
    float fontScale;    // fs
    float scaleX;       // scale x * fs
    float scaleY;       // scale y * fs
    float spacing;      // extra character spacing * scale x
    float lineSpacing;  // extra line spacing * scale y (divided by scaleY in transform mode)
    float lineHeight;   // line height / fs
    bool transformed;
    TextTransform transform;
    zq_shader_t* outerShader;
    bool utf32;
};

bool IsOnGpu(const zq_bitmap_t* bitmap) {
    return bitmap->load_state == FONT_ATLAS_UPLOADED && bitmap->gpu.loaded != 0;
}

bool IsDistanceField(const zq_font_t* font) {
    return (font->flags & FONT_FLAG_DISTANCE_FIELD) != 0;
}

void TransformPoint(const TextTransform& t, float* x, float* y) {
    const float dx = *x - t.originX;
    const float dy = *y - t.originY;
    *x = t.originX + dx * t.m[0] + dy * t.m[1];
    *y = t.originY + dx * t.m[2] + dy * t.m[3];
}

uint32_t CodeOf(char c) {
    return static_cast<unsigned char>(c);
}
uint32_t CodeOf(uint32_t c) {
    return c;
}

// The tag after an opening bar as the byte text the tag parser reads: a byte text is parsed where
// it stands (keys are searched in the rest of the line); a UTF-32 one from the low bytes of its
// first 511 code points.
const char* TagText(const char* tag, char*) {
    return tag;
}
const char* TagText(const uint32_t* tag, char* buffer) {
    int32_t i = 0;
    for (; i + 1 < kUTF32TagBytes && tag[i] != 0; ++i) {
        buffer[i] = static_cast<char>(tag[i] & 0xFF);
    }
    buffer[i] = '\0';
    return buffer;
}

// The index of the bar closing the tag opened at line[open]; -1 when the line ends first.
template <typename Char>
int64_t ClosingBar(const Char* line, int64_t open) {
    for (int64_t i = open + 1; line[i] != 0; ++i) {
        if (line[i] == '|') return i;
    }
    return -1;
}

// "|#rrggbb|" or "|rrggbbaa|": the alpha pair (when a seventh character stands before the bar) is
// set first, then the colour; both stay in force after the text. Characters past the tag's bar
// are never read: missing digits count as 0.
void ApplyColourTag(const char* tag) {
    if (*tag == '#') {
        ++tag;
    }
    char digits[kColourTagCharacters] = {};
    int32_t length = 0;
    while (length < kColourTagCharacters && tag[length] != '\0' && tag[length] != '|') {
        digits[length] = tag[length];
        ++length;
    }
    if (length > 6) {
        const float alpha = static_cast<float>(HexPairToInt(digits[6], digits[7])) / 255.0f;
        ZQ_Graphics_SetAlpha(&alpha);
    }
    const float r = static_cast<float>(HexPairToInt(digits[0], digits[1])) / 255.0f;
    const float g = static_cast<float>(HexPairToInt(digits[2], digits[3])) / 255.0f;
    const float b = static_cast<float>(HexPairToInt(digits[4], digits[5])) / 255.0f;
    ZQ_Graphics_SetColor(&r, &g, &b);
}

void ApplyShaderTag(const TextRun& run, const char* tag, float penX, float lineY) {
    zq_shader_t* shader = nullptr;
    ParseMarkupTag(tag, nullptr, nullptr, nullptr, nullptr, &shader);
    if (shader != nullptr && ZQ_Graphics_ShaderHasTag(shader, "DISTANCE_FIELD")) {
        ZQI_FONTS_UpdateDistanceFieldSmoothing(run.font, shader, penX, lineY);
    }
    if (shader == nullptr) {
        shader = GetFontShader(run.font);
    }
    HighLevelRenderer::SetCurrentShader(shader != nullptr ? shader : g_drawing.defaultShader);
}

// An "img" tag's bitmap centred on the font's centre line, with the tag's colour and shader for
// this image only. False when the tag names no bitmap (the pen stays).
bool DrawImageTag(const TextRun& run, const char* tag, float* penX, float lineY) {
    int32_t offset = 0;
    float angle = 0.0f;
    float tagScale = 1.0f;
    float colour[4];
    zq_shader_t* shader = nullptr;
    zq_bitmap_t* bitmap = ParseMarkupTag(tag, &offset, &angle, &tagScale, colour, &shader);
    if (bitmap == nullptr) {
        return false;
    }
    const float scale = tagScale / run.fontScale;
    const zq_color_t colourBefore = ZQ_Graphics_GetColor();
    zq_shader_t* shaderBefore = g_rendererState.shader;
    zq_shader_t* drawWith = shader != nullptr ? shader : run.outerShader;
    HighLevelRenderer::SetCurrentShader(drawWith != nullptr ? drawWith : g_drawing.defaultShader);
    ZQ_Graphics_SetColor(&colour[0], &colour[1], &colour[2]);
    ZQ_Graphics_SetAlpha(&colour[3]);

    const float width = static_cast<float>(bitmap->width) * scale;
    float centreX = *penX + width / 2.0f;
    float centreY = lineY + truncf(GetFontCentreLine(run.font) + static_cast<float>(offset));
    float drawAngle = angle;
    float drawScale = scale;
    if (run.transformed) {
        TransformPoint(run.transform, &centreX, &centreY);
        drawAngle += run.settings->angle;
        drawScale *= run.scaleX < run.scaleY ? run.scaleX : run.scaleY;
    }
    ZQ_Graphics_DrawBitmapRotated(bitmap, &centreX, &centreY, &drawAngle, &drawScale);
    *penX += width + run.spacing;

    ZQ_Graphics_SetColor(&colourBefore.r, &colourBefore.g, &colourBefore.b);
    ZQ_Graphics_SetAlpha(&colourBefore.a);
    HighLevelRenderer::SetCurrentShader(shaderBefore);
    return true;
}

// A tag, chosen by its first letters: shader, image, the deprecated scale, else a colour.
void DrawTag(const TextRun& run, const char* tag, float* penX, float lineY, uint32_t* previous) {
    if (strncmp(tag, "shader", 6) == 0) {
        ApplyShaderTag(run, tag, *penX, lineY);
    } else if (tag[0] == 'i' || (tag[0] == 'I' && !run.utf32)) {
        if (DrawImageTag(run, tag, penX, lineY)) {
            *previous = 0;
        }
    } else if (strncmp(tag, "scale", 5) == 0) {
        if (run.utf32 && ZQ_IsDeveloperMode()) {
            ZQI_FontPopup(1, "|scale=x| tag is deprecated. Remove all references to it.");
        }
    } else {
        ApplyColourTag(tag);
    }
}

void DrawGlyph(const TextRun& run, uint32_t code, float* penX, float lineY, float extra, uint32_t* previous) {
    FontGlyph* glyph = ZQI_FONTS_FindGlyph(run.font, code);
    if (glyph == nullptr) {
        return;
    }
    if (!run.utf32 && glyph->kerning != nullptr && *previous < FONT_KERNING_ROW) {
        *penX += glyph->kerning[*previous];
    }
    if (glyph->bitmap.width > 0) {
        const float x = *penX + static_cast<float>(glyph->xOffset);
        const float y = lineY + glyph->yOffset;
        if (run.transformed) {
            BuildGlyphQuad(&glyph->bitmap, x, y, run.transform);
        } else {
            ZQI_DrawBitmap(&glyph->bitmap, x, y);
        }
    }
    *penX += static_cast<float>(glyph->advance) + run.spacing;
    if (code == ' ') {
        *penX += extra;
    }
    *previous = code;
}

template <typename Char>
void DrawLine(const TextRun& run, const Char* line, float penX, float lineY, float extra) {
    const bool markup = run.settings->markupDisabled == 0;
    uint32_t previous = 0;
    char tagBuffer[kUTF32TagBytes];
    for (int64_t i = 0; line[i] != 0; ++i) {
        uint32_t code = CodeOf(line[i]);
        if (markup && code == '|' && line[i + 1] != '|') {
            DrawTag(run, TagText(line + i + 1, tagBuffer), &penX, lineY, &previous);
            i = ClosingBar(line, i);
            if (i < 0) {
                return;  // the text ends inside the tag
            }
            continue;
        }
        if (markup && code == '|') {
            code = CodeOf(line[++i]);  // "||" draws one bar
        }
        DrawGlyph(run, code, &penX, lineY, extra, &previous);
    }
}

// Spaces drawn in the line (those inside tags are not).
template <typename Char>
int32_t CountSpaces(const Char* line, bool markup) {
    int32_t spaces = 0;
    for (int64_t i = 0; line[i] != 0; ++i) {
        if (markup && line[i] == '|' && line[i + 1] != '|') {
            i = ClosingBar(line, i);
            if (i < 0) break;
            continue;
        }
        if (markup && line[i] == '|') {
            ++i;
        }
        spaces += line[i] == ' ' ? 1 : 0;
    }
    return spaces;
}

// Settings read once per text, the non-distance-field lift and the transform about (x, y).
TextRun BeginRun(zq_font_t* font, float x, float* y, zq_shader_t* outerShader, bool utf32) {
    TextRun run = {};
    run.font = font;
    run.settings = ZQI_GetThreadTextSettings();
    run.fontScale = font->scale;
    run.scaleX = run.settings->scaleX * run.fontScale;
    run.scaleY = run.settings->scaleY * run.fontScale;
    run.spacing = run.settings->characterSpacing * run.settings->scaleX;
    run.lineSpacing = run.settings->lineSpacing * run.settings->scaleY;
    run.lineHeight = static_cast<float>(font->lineHeight) / run.fontScale;
    run.outerShader = outerShader;
    run.utf32 = utf32;
    if (!IsDistanceField(font)) {
        *y -= kNonDistanceFieldLift * run.settings->scaleY;
    }
    const float angle = run.settings->angle;
    run.transformed = angle != 0.0f || fabsf(run.scaleX - 1.0f) > kScaleTolerance ||
                      fabsf(run.scaleY - 1.0f) > kScaleTolerance;
    if (run.transformed) {
        const float c = cosf(angle);
        const float s = sinf(angle);
        run.transform =
            TextTransform{{c * run.scaleX, -s * run.scaleY, s * run.scaleX, c * run.scaleY}, x, *y};
        run.lineSpacing /= run.scaleY;
    }
    return run;
}

// The lines at (x, y) under the alignment bits, or justified; the widest line in font pixels.
template <typename Char>
float DrawLines(const TextRun& run, float x, float y, const TextLines& lines, int32_t count, float maxWidth) {
    const ThreadTextSettings& settings = *run.settings;
    const bool justified =
        settings.justify != 0 && count >= 2 && settings.maxLineWidth < ZQI_TEXT_NO_WIDTH_LIMIT;
    const uint32_t alignment = justified ? 0 : settings.alignment;
    const float block =
        static_cast<float>(count) * run.lineHeight + static_cast<float>(count - 1) * run.lineSpacing;
    if ((alignment & ZQI_TEXT_ALIGN_BOTTOM) != 0) {
        y -= block;
    }
    if ((alignment & ZQI_TEXT_ALIGN_VERTICAL_CENTRE) != 0) {
        y -= block / 2.0f;
    }
    float widest = 0.0f;
    for (int32_t i = 0; i < count; ++i) {
        const Char* line = static_cast<const Char*>(lines.starts[i]);
        const float width = lines.widths[i];
        widest = width > widest ? width : widest;
        float penX = x;
        if ((alignment & ZQI_TEXT_ALIGN_RIGHT) != 0) {
            penX -= width;
        }
        if ((alignment & ZQI_TEXT_ALIGN_HORIZONTAL_CENTRE) != 0) {
            penX -= width / 2.0f;
        }
        float extra = 0.0f;
        if (justified && i != count - 1) {
            // A line without spaces has nothing to widen.
            const int32_t spaces = CountSpaces(line, settings.markupDisabled == 0);
            extra = spaces > 0 ? (maxWidth - width) / static_cast<float>(spaces) : 0.0f;
        }
        DrawLine(run, line, penX, y, extra);
        y += run.lineHeight + run.lineSpacing;
    }
    return widest;
}

// The layout's width limit in font pixels, truncated (kept a float: a tiny scale would overflow
// an integer).
float LayoutWidth(const TextRun& run) {
    return truncf(run.settings->maxLineWidth / run.scaleX);
}

// Nothing for a font that is loading (its flags may be changing too): the text slot draws nothing.
uint32_t DescribeFont(const zq_font_t* font) {
    FontReading reading(font);
    if (!reading) {
        return 0;
    }
    uint32_t description = ZQI_FONT_LOADED;
    if (IsDistanceField(font)) {
        description |= ZQI_FONT_DISTANCE_FIELD;
    }
    if (font->utf8 != 0) {
        description |= ZQI_FONT_UTF8;
    }
    return description;
}

}  // namespace

float ZQI_FONTS_DrawText(zq_font_t* font, float x, float y, char* text, zq_shader_t* outerShader) {
    FontReading reading(font);
    if (!reading || font->size < 1 || text == nullptr) {
        return 0.0f;
    }
    const TextRun run = BeginRun(font, x, &y, outerShader, false);
    const float maxWidth = LayoutWidth(run);
    TextLines lines;
    const int32_t count = LayoutTextLines(font, maxWidth, text, &lines);
    return run.scaleX * DrawLines<char>(run, x, y, lines, count, maxWidth);
}

float ZQI_FONTS_DrawTextUTF32(zq_font_t* font, float x, float y, const char* text, zq_shader_t* outerShader) {
    FontReading reading(font);
    if (!reading || font->size < 1 || text == nullptr) {
        return 0.0f;
    }
    uint32_t* converted = ZQI_ConvertTextForLayout(text);
    if (converted == nullptr) {
        return 0.0f;
    }
    const TextRun run = BeginRun(font, x, &y, outerShader, true);
    const float maxWidth = LayoutWidth(run);
    TextLines lines;
    const int32_t count = LayoutTextLinesUTF32(font, maxWidth, converted, &lines);
    const float width = run.scaleX * DrawLines<uint32_t>(run, x, y, lines, count, maxWidth);
    free(converted);
    return width;
}

zq_shader_t* GetFontShader(const zq_font_t* font) {
    return ZQI_GetTextShader(font != nullptr && IsDistanceField(font));
}

void ZQI_FONTS_UpdateDistanceFieldSmoothing(zq_font_t* font, zq_shader_t* shader, float x, float y) {
    FontReading reading(font);
    if (!reading || shader == nullptr) {
        return;
    }
    int32_t width = 0;
    int32_t height = 0;
    ZQ_Graphics_GetViewportSize(&width, &height);
    const float depth = ZQ_Graphics_GetDepth();
    const float here[3] = {x, y, depth};
    const float step[3] = {x + 1.0f, y + 1.0f, depth};
    float x0, y0, x1, y1;
    ProjectToScreen(here, width, height, &x0, &y0);
    ProjectToScreen(step, width, height, &x1, &y1);
    const float distance = hypotf(x1 - x0, y1 - y0);
    const ThreadTextSettings* settings = ZQI_GetThreadTextSettings();
    const float k = settings->scaleX > settings->scaleY ? settings->scaleX : settings->scaleY;
    const float value = font->distanceSmoothing /
                        (distance * k * (font->scale * kDistanceFieldSizeFactor) * font->distanceSpread);
    // A font without spread or a transform that collapses the step has no edge width to give.
    if (!std::isfinite(value)) {
        return;
    }
    const float* constant = static_cast<const float*>(ZQ_Graphics_GetShaderPixelConstant(shader, 0));
    const uint32_t size =
        shader->pixel_constants.entries != nullptr ? shader->pixel_constants.entries[0].size : 0;
    if (constant == nullptr || size < sizeof(float) || constant[0] == value) {
        return;
    }
    float values[4] = {};
    const uint32_t kept = size < sizeof(values) ? size : static_cast<uint32_t>(sizeof(values));
    memcpy(values, constant, kept);
    values[0] = value;
    ZQ_Graphics_SetShaderPixelConstant(shader, 0, kept, values);
}

void ProjectToScreen(const float point[3], int32_t width, int32_t height, float* screenX, float* screenY) {
    Matrix4x4 m;
    Matrix4x4::Multiply(m, *HighLevelRenderer::GetProjectionTransform(),
                        HighLevelRenderer::PeekWorldTransform());
    const float X = m[0] * point[0] + m[1] * point[1] + m[2] * point[2] + m[3];
    const float Y = m[4] * point[0] + m[5] * point[1] + m[6] * point[2] + m[7];
    float W = m[12] * point[0] + m[13] * point[1] + m[14] * point[2] + m[15];
    if (W == 0.0f) {
        W = 1.0f;  // a point on the eye plane: no division by zero
    }
    *screenX = (X / W + 1.0f) * 0.5f * static_cast<float>(width);
    *screenY = (1.0f - Y / W) * 0.5f * static_cast<float>(height);
}

float GetFontCentreLine(const zq_font_t* font) {
    const FontGlyph* a = ZQI_FONTS_FindGlyph(const_cast<zq_font_t*>(font), 'a');
    float centre = a != nullptr ? (static_cast<float>(a->bitmap.height) + a->yOffset) * 0.5f : 0.0f;
    if (!IsDistanceField(font)) {
        centre += kCentreLineLift / font->scale;
    }
    return centre;
}

void BuildGlyphQuad(zq_bitmap_t* bitmap, float x, float y, const TextTransform& transform) {
    if (!IsOnGpu(bitmap) || g_rendererState.alpha <= 0.0f) {
        return;
    }
    const float right = x + static_cast<float>(bitmap->width);
    const float bottom = y + static_cast<float>(bitmap->height);
    const zq_bitmap_gpu_data_t& gpu = bitmap->gpu;
    const float corners[4][4] = {{x, y, gpu.texture_left, gpu.texture_top},
                                 {right, y, gpu.texture_right, gpu.texture_top},
                                 {x, bottom, gpu.texture_left, gpu.texture_bottom},
                                 {right, bottom, gpu.texture_right, gpu.texture_bottom}};
    zq_vertex_t* quad = g_drawing.quad;
    for (int32_t i = 0; i < 4; ++i) {
        quad[i].x = corners[i][0];
        quad[i].y = corners[i][1];
        TransformPoint(transform, &quad[i].x, &quad[i].y);
        quad[i].u = corners[i][2];
        quad[i].v = corners[i][3];
    }
    BatchRenderer::AddQuad(bitmap, quad);
}

void ZQI_InstallTextDrawers() {
    TextDrawers drawers = {};
    drawers.DescribeFont = DescribeFont;
    drawers.DrawText = ZQI_FONTS_DrawText;
    drawers.DrawTextUTF32 = ZQI_FONTS_DrawTextUTF32;
    drawers.UpdateDistanceFieldSmoothing = ZQI_FONTS_UpdateDistanceFieldSmoothing;
    ZQI_SetTextDrawers(&drawers);
}
