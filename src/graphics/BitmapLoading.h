// Filling a bitmap record from its file, on whatever thread asked for it: the extension search,
// the image, sequence, numbered-frame and http:// sources, and the manifest entry that gives the
// bitmap its logical size and pack mode.
#pragma once

#include <cstdint>

#include "zorqa.h"

struct DMNode;

// Size of the engine's path buffers; longer names are refused.
enum { ZQI_BITMAP_PATH_BUFFER = 512 };

// Loads the bitmap from its name: a name whose last component has a '.', or an http:// URL, as it
// stands; otherwise ".png", ".jpg", ".tga" and ".bms" are tried in that order and the first
// existing file becomes the bitmap's source file. False when nothing loads.
bool LoadBitmapFile(zq_bitmap_t* bitmap);

// Loads one file into the bitmap (load state 1 only): http://, ".bms", numbered frames ("*" in the
// name) or a plain image; then the manifest entry is applied. False, with a popup, on failure.
bool ZQI_LoadBitmapFromFile(zq_bitmap_t* bitmap, const char* fileName);

// The manifest node of a bitmap name: the name as given, then (without an extension) with ".png",
// ".jpg", ".tga", ".bms" appended; newest manifest first. Null when none has it.
DMNode* FindManifestEntry(const char* name);

// Pixel size := the decoded size (an animated bitmap shows frame 0 and takes its sizes); logical
// size and pack mode from the manifest entry when there is one; in developer mode the manifest
// sizes are checked against the source's.
void ZQI_ApplyManifestEntry(zq_bitmap_t* bitmap, const char* name);

// The pack mode a manifest "pack_mode" text names: NO_PADDING, PAD_EXPAND, PAD_EXPAND_TILED, else
// the default mode 2.
uint32_t ZQI_ParsePackMode(const char* text);

// Numbered frames: the first '*' of pattern stands for a four-digit number 0000 to 0999. Loads the
// frames found into the bitmap's frame array and selects frame 0.
bool ZQI_LoadNumberedFrames(zq_bitmap_t* bitmap, const char* pattern);

// Builds a sequence from numbered source images beside a ".bms" name whose file cannot be read
// ("walk.bms" from "walk0000.png", "walk-0000.png" or "walk_0000.png" ...), writes the sequence
// file and reads it back.
bool ZQI_BuildSequenceFromNumberedFrames(zq_bitmap_t* bitmap, const char* sequenceName);

// Images over http://: from the cache:// copy when there is one, else downloaded into it first.
bool ZQI_LoadBitmapHTTP(zq_bitmap_t* bitmap, const char* url);
// The cache file name of a URL: "cache://" and the URL with every character other than letters,
// digits, '-', '.' and '_' replaced by '_'.
void ZQI_GetHttpCacheName(char* out, int32_t size, const char* url);
