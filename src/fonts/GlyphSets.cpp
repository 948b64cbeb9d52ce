// Glyph sets: which characters a generated font holds, from the game's translation strings, a
// fixed base set, additional characters and named character sets.
#include "fonts/GlyphSets.h"

#include <cstdlib>
#include <cstring>

#include "data/DataManager.h"
#include "fonts/FontMessages.h"
#include "foundation/TextUtils.h"

namespace {

const uint32_t kUnicodeMax = 65536;

struct WantedSet {
    uint8_t flags[kUnicodeMax];
};

void Want(WantedSet& set, uint32_t from, uint32_t to) {
    for (uint32_t c = from; c <= to && c < kUnicodeMax; ++c) {
        set.flags[c] = 1;
    }
}

const char* FirstKey(const DMNode* node) {
    const char* key = node->GetKeyByIndex(0);
    return key != nullptr ? key : "<NULL>";
}

void AddStringsNode(WantedSet& set, const char* path, const DMNode* node, int32_t index) {
    const char* id = node->GetValue("from");
    if (id == nullptr) {
        id = node->GetValue("id");
    }
    if (id == nullptr) {
        ZQI_FontPopup(1,
                      "XML '%s' array 'STRINGS' doesn't contain nodes with id and to parameters. Node #%d is "
                      "missing 'id', has '%s' instead.",
                      path, index, FirstKey(node));
    } else {
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(id); *p != 0; ++p) {
            if (*p >= 32 && *p <= 127) {
                set.flags[*p] = 1;
            }
        }
    }
    const char* to = node->GetValue("to");
    if (to == nullptr) {
        ZQI_FontPopup(1,
                      "XML '%s' array 'STRINGS' doesn't contain nodes with id and to parameters. Node #%d is "
                      "missing 'to', has '%s' instead.",
                      path, index, FirstKey(node));
        return;
    }
    uint32_t* codes = ZQI_ConvertUTF8ToUTF32(to, static_cast<int32_t>(strlen(to)));
    if (codes == nullptr) {
        return;
    }
    for (const uint32_t* c = codes; *c != 0; ++c) {
        if (*c >= kUnicodeMax) {
            ZQI_FontPopup(2, "UTF32 %d out of range in ZQI_CreateFontGlyphsArrayFromStrings in translation '%s'",
                          static_cast<int32_t>(*c), to);
        } else if (*c >= 32) {
            set.flags[*c] = 1;
        }
    }
    free(codes);
}

void AddStrings(WantedSet& set, const char* path) {
    DMDatabase* database = DataManager::GetDatabase(path);
    const DMArray* strings = database != nullptr ? database->GetArray("STRINGS") : nullptr;
    if (strings == nullptr) {
        return;
    }
    for (int32_t i = 0; i < strings->nodes.count; ++i) {
        AddStringsNode(set, path, strings->nodes[i], i);
    }
}

void AddAdditionalCharacters(WantedSet& set, const DMArray* additional) {
    if (additional == nullptr) {
        return;
    }
    for (const DMNode* node : additional->nodes) {
        uint32_t code = 0;
        if (!ZQI_DecodeOneUTF8Character(node->GetValue("id"), &code)) {
            continue;
        }
        if (code < kUnicodeMax) {
            set.flags[code] = 1;
        } else {
            ZQI_FontLog(1, "utf32_char >= UNICODE_MAX");
        }
    }
}

void AddCharacterSets(WantedSet& set, const char* words) {
    if (ZQI_ListContainsWord(words, "latin1") || ZQI_ListContainsWord(words, "latin-1")) {
        Want(set, 192, 255);
        set.flags[215] = 0;  // the multiplication and division signs are not letters
        set.flags[247] = 0;
    }
    if (ZQI_ListContainsWord(words, "polish")) {
        Want(set, 0x104, 0x107);
        Want(set, 0x118, 0x119);
        Want(set, 0x141, 0x144);
        Want(set, 0xD3, 0xD3);
        Want(set, 0xF3, 0xF3);
        Want(set, 0x15A, 0x15B);
        Want(set, 0x179, 0x17C);
    }
    if (ZQI_ListContainsWord(words, "cyrillic")) {
        Want(set, 0x400, 0x4FF);
    }
}

}  // namespace

bool ZQI_DecodeOneUTF8Character(const char* text, uint32_t* code) {
    if (text == nullptr || text[0] == '\0') {
        return false;
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    if (p[0] < 128) {
        *code = p[0];
        return true;
    }
    int following = (p[0] & 0xE0) == 0xC0 ? 1 : (p[0] & 0xF0) == 0xE0 ? 2 : (p[0] & 0xF8) == 0xF0 ? 3 : -1;
    if (following < 0) {
        return false;
    }
    uint32_t value = p[0] & (0x3Fu >> following);
    for (int i = 1; i <= following; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return false;  // cut short or not a continuation byte
        }
        value = (value << 6) | (p[i] & 0x3Fu);
    }
    *code = value;
    return true;
}

bool ZQI_CreateFontGlyphsArrayFromStrings(zq_font_t* font, const char* stringsPath, const DMArray* additional,
                                          const DMArray* settings) {
    if (font == nullptr || stringsPath == nullptr) {
        return false;
    }
    WantedSet* set = static_cast<WantedSet*>(calloc(1, sizeof(WantedSet)));
    if (set == nullptr) {
        return false;
    }
    if (stringsPath[0] != '!') {
        AddStrings(*set, stringsPath);
    }
    Want(*set, 32, 90);
    Want(*set, 97, 122);
    set->flags[160] = 1;
    AddAdditionalCharacters(*set, additional);
    const DMNode* input = settings != nullptr ? settings->GetNode("INPUT") : nullptr;
    if (input != nullptr) {
        AddCharacterSets(*set, input->GetValue("character_sets"));
    }
    FontGlyphTable* table = CreateFontGlyphTable(font, false);
    if (table != nullptr) {
        FontGlyph empty = ZQI_EmptyFontGlyph();
        for (uint32_t c = 0; c < kUnicodeMax; ++c) {
            if (set->flags[c] != 0) {
                ZQI_InsertFontGlyph(table, c, empty);
            }
        }
        ZQI_RefillFontGlyphDirectArray(table);
    }
    free(set);
    return table != nullptr;
}
