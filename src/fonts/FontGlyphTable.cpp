// The glyph index: a chained hash map from code point to glyph, plus a direct array for the code
// points below 2048 that nearly every text uses, so the common lookup is one array read.
#include <cstdlib>
#include <cstring>
#include <new>

#include "fonts/Font.h"

namespace {

const uint32_t kInitialBuckets = 8;

FontGlyphNode** NewBuckets(uint32_t count) {
    return static_cast<FontGlyphNode**>(calloc(count, sizeof(FontGlyphNode*)));
}

uint32_t BucketOf(const FontGlyphTable* table, uint32_t code) {
    return static_cast<uint32_t>(ZQI_HashGlyphCode(code) & (table->bucketCount - 1));
}

// ---- Bucket trees (AVL): every lookup and insertion visits O(log n) glyphs ----

int32_t Height(const FontGlyphNode* node) {
    return node != nullptr ? node->height : 0;
}

void UpdateHeight(FontGlyphNode* node) {
    const int32_t left = Height(node->left);
    const int32_t right = Height(node->right);
    node->height = 1 + (left > right ? left : right);
}

FontGlyphNode* RotateRight(FontGlyphNode* node) {
    FontGlyphNode* top = node->left;
    node->left = top->right;
    top->right = node;
    UpdateHeight(node);
    UpdateHeight(top);
    return top;
}

FontGlyphNode* RotateLeft(FontGlyphNode* node) {
    FontGlyphNode* top = node->right;
    node->right = top->left;
    top->left = node;
    UpdateHeight(node);
    UpdateHeight(top);
    return top;
}

// Restores the height difference of at most 1 between node's subtrees; returns the new root.
FontGlyphNode* Rebalance(FontGlyphNode* node) {
    UpdateHeight(node);
    const int32_t balance = Height(node->left) - Height(node->right);
    if (balance > 1) {
        if (Height(node->left->left) < Height(node->left->right)) {
            node->left = RotateLeft(node->left);
        }
        return RotateRight(node);
    }
    if (balance < -1) {
        if (Height(node->right->right) < Height(node->right->left)) {
            node->right = RotateRight(node->right);
        }
        return RotateLeft(node);
    }
    return node;
}

// Adds a node whose code is not in the tree yet; the depth is about 1.44 log2(n) at most.
FontGlyphNode* TreeInsert(FontGlyphNode* root, FontGlyphNode* node, uint64_t* probes) {
    if (root == nullptr) {
        return node;
    }
    ++*probes;
    if (node->code < root->code) {
        root->left = TreeInsert(root->left, node, probes);
    } else {
        root->right = TreeInsert(root->right, node, probes);
    }
    return Rebalance(root);
}

void BucketInsert(FontGlyphTable* table, FontGlyphNode* node) {
    node->left = nullptr;
    node->right = nullptr;
    node->height = 1;
    FontGlyphNode*& root = table->buckets[BucketOf(table, node->code)];
    root = TreeInsert(root, node, &table->insertProbes);
}

const FontGlyphNode* FindNode(const FontGlyphTable* table, uint32_t code, uint32_t* probes) {
    const FontGlyphNode* node = table->buckets[BucketOf(table, code)];
    while (node != nullptr) {
        ++*probes;
        if (node->code == code) {
            return node;
        }
        node = code < node->code ? node->left : node->right;
    }
    return nullptr;
}

// Doubles the buckets once the load factor would pass 1.0. Failing to grow only deepens the
// trees, so an allocation failure is not an error here.
void GrowIfNeeded(FontGlyphTable* table) {
    if (table->count < table->bucketCount) {
        return;
    }
    FontGlyphNode** buckets = NewBuckets(table->bucketCount * 2);
    if (buckets == nullptr) {
        return;
    }
    free(table->buckets);
    table->buckets = buckets;
    table->bucketCount *= 2;
    for (FontGlyphNode* node : table->order) {
        BucketInsert(table, node);
    }
}

}  // namespace

uint64_t ZQI_HashGlyphCode(uint32_t code) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (int i = 0; i < 4; ++i) {
        hash ^= (code >> (8 * i)) & 0xFFu;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

FontGlyph ZQI_EmptyFontGlyph() {
    FontGlyph glyph;
    memset(&glyph, 0, sizeof(glyph));
    return glyph;
}

void ZQI_SetGlyphPixels(FontGlyph* glyph, uint8_t* pixels, int32_t width, int32_t height) {
    zq_bitmap_t& bitmap = glyph->bitmap;
    bitmap.pixels = pixels;
    bitmap.width = bitmap.pixel_width = pixels != nullptr ? width : 0;
    bitmap.height = bitmap.pixel_height = pixels != nullptr ? height : 0;
    if (pixels != nullptr) {
        bitmap.flags |= GLYPH_BITMAP_HAS_PIXELS;
    } else {
        bitmap.flags &= static_cast<uint8_t>(~GLYPH_BITMAP_HAS_PIXELS);
    }
}

void ZQI_FreeGlyphPixels(FontGlyph* glyph) {
    free(glyph->bitmap.pixels);
    ZQI_SetGlyphPixels(glyph, nullptr, 0, 0);
}

bool ZQI_EnsureGlyphKerning(FontGlyph* glyph) {
    if (glyph->kerning == nullptr) {
        glyph->kerning = static_cast<int8_t*>(calloc(FONT_KERNING_ROW, 1));
    }
    return glyph->kerning != nullptr;
}

FontGlyphTable* ZQI_NewFontGlyphTable() {
    FontGlyphTable* table = new (std::nothrow) FontGlyphTable;
    if (table == nullptr) {
        return nullptr;
    }
    table->buckets = NewBuckets(kInitialBuckets);
    if (table->buckets == nullptr) {
        delete table;
        return nullptr;
    }
    table->bucketCount = kInitialBuckets;
    table->count = 0;
    table->insertProbes = 0;
    memset(table->direct, 0, sizeof(table->direct));
    return table;
}

void ZQI_DeleteFontGlyphTable(FontGlyphTable* table) {
    if (table == nullptr) {
        return;
    }
    for (FontGlyphNode* node : table->order) {
        free(node->glyph.kerning);
        free(node->glyph.bitmap.pixels);
        delete node;
    }
    free(table->buckets);
    delete table;
}

FontGlyphTable* CreateFontGlyphTable(zq_font_t* font, bool prefill) {
    FontGlyphTable* table = ZQI_NewFontGlyphTable();
    if (table == nullptr) {
        return nullptr;
    }
    if (prefill) {
        FontGlyph empty = ZQI_EmptyFontGlyph();
        for (uint32_t code = 0; code < 256; ++code) {
            ZQI_InsertFontGlyph(table, code, empty);
        }
        ZQI_RefillFontGlyphDirectArray(table);
    }
    ZQI_DeleteFontGlyphTable(font->glyphs);
    font->glyphs = table;
    return table;
}

void FreeFontGlyphTable(zq_font_t* font) {
    if (font == nullptr || font->glyphs == nullptr) {
        return;
    }
    ZQI_DeleteFontGlyphTable(font->glyphs);
    font->glyphs = nullptr;
}

FontGlyph* ZQI_InsertFontGlyph(FontGlyphTable* table, uint32_t code, const FontGlyph& glyph) {
    uint32_t probes = 0;
    const bool present = FindNode(table, code, &probes) != nullptr;
    table->insertProbes += probes;
    if (present) {
        return nullptr;
    }
    FontGlyphNode* node = new (std::nothrow) FontGlyphNode;
    if (node == nullptr) {
        return nullptr;
    }
    node->code = code;
    node->glyph = glyph;
    GrowIfNeeded(table);
    int32_t before = table->order.count;
    table->order.Push(node);
    if (table->order.count == before) {
        delete node;
        return nullptr;
    }
    BucketInsert(table, node);
    ++table->count;
    return &node->glyph;
}

FontGlyph* ZQI_FindFontGlyphInMap(const FontGlyphTable* table, uint32_t code) {
    uint32_t probes = 0;
    const FontGlyphNode* node = FindNode(table, code, &probes);
    return node != nullptr ? const_cast<FontGlyph*>(&node->glyph) : nullptr;
}

uint32_t ZQI_CountFontGlyphProbes(const FontGlyphTable* table, uint32_t code) {
    uint32_t probes = 0;
    FindNode(table, code, &probes);
    return probes;
}

void ZQI_RefillFontGlyphDirectArray(FontGlyphTable* table) {
    memset(table->direct, 0, sizeof(table->direct));
    for (FontGlyphNode* node : table->order) {
        if (node->code < FONT_DIRECT_GLYPHS) {
            table->direct[node->code] = &node->glyph;
        }
    }
}

FontGlyph* ZQI_FONTS_FindGlyph(zq_font_t* font, uint32_t code) {
    if (font == nullptr || font->glyphs == nullptr) {
        return nullptr;
    }
    if (code < FONT_DIRECT_GLYPHS) {
        return font->glyphs->direct[code];
    }
    return ZQI_FindFontGlyphInMap(font->glyphs, code);
}

int32_t ZQI_GetFontGlyphCount(const zq_font_t* font) {
    return font != nullptr && font->glyphs != nullptr ? static_cast<int32_t>(font->glyphs->count) : 0;
}
