// Turning a font name into a usable font: the empty font, the compiled file or the generator
// (whose result is saved and read back), the manifest's size override, the glyph atlas and its
// upload, at once on the render thread or through the font upload queue.
#pragma once

#include <cstdint>

#include "fonts/Font.h"

// At most two passes: "!NONE" gives the empty font; a name holding ".mft" is read; otherwise
// (or when reading fails) the font is generated from its source, saved where the file system
// resolves the name, and read back on the second pass. False when nothing could be loaded.
bool LoadFontFile(zq_font_t* font, const char* name);
// Packs every glyph bitmap with pixels (up to 4096) into the atlas, gives a Latin-1 font
// lower-case copies of the upper-case glyphs it lacks, then uploads the atlas on the render
// thread or queues the font from any other. False only for a font of size below 1.
bool ZQI_RecreateFontAtlas(zq_font_t* font);
// Frees the atlas's GPU data (through the graphics hook). The glyphs drawn from the atlas's texture
// let go of it too, so none binds it, or frees it again, before an upload gives them the next one.
void ZQI_FreeFontAtlasTexture(zq_font_t* font);
// Adds the font to the upload queue under "RESOURCE_QUEUE" (once: a second add logs and does nothing).
void ZQI_FONTS_QueueFontUpload(zq_font_t* font);
// Takes the font out of the upload queue, if it is there.
void ZQI_FONTS_RemoveFromUploadQueue(zq_font_t* font);
// The number of fonts waiting for upload.
int32_t ZQI_FONTS_GetUploadQueueLength();
// Render thread: uploads the atlas and gives every glyph its texture. Any other thread: queues
// the font again.
void ZQI_FONTS_UploadFontAtlas(zq_font_t* font);
// The bitmap-queue step's part for fonts (main thread): up to 10 queued fonts, each taken out of
// the queue, marked busy and uploaded once no other thread reads it. Fonts released meanwhile are
// skipped; a font not yet marked loaded by its loader stays queued for a later pass.
void ZQI_FONTS_ProcessUploadQueue();
// Latin-1 fonts: lower-case letters missing while their capital exists get a copy of it (without
// pixels of their own), and every kerning row treats them like their capital. True when at
// least one copy was made.
bool ZQI_AddLowerCaseCopies(zq_font_t* font);
