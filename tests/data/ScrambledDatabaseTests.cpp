// The scrambled database form against a reference written here from the format's definition:
// stored byte s_i = (p_i - key[i mod 13] - i) mod 256, checksum the 32-bit sum of s_i (signed)
// times i, header = marker, 0, length and checksum (little-endian). Lengths around the points
// where the key and the index byte wrap, and bytes over the whole range.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "data/ScrambledDatabase.h"

namespace {

std::vector<uint8_t> ReferenceImage(const std::vector<uint8_t>& text) {
    const char key[] = "PLUMB_WAXWING";
    std::vector<uint8_t> image(22 + text.size());
    memcpy(image.data(), key, 14);  // the marker and its 0 byte
    uint32_t checksum = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        uint8_t s = static_cast<uint8_t>((text[i] - key[i % 13] - static_cast<int64_t>(i)) % 256 + 256);
        image[22 + i] = s;
        checksum +=
            static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(s))) * static_cast<uint32_t>(i);
    }
    uint32_t length = static_cast<uint32_t>(text.size());
    for (int b = 0; b < 4; ++b) {
        image[14 + b] = static_cast<uint8_t>(length >> (8 * b));
        image[18 + b] = static_cast<uint8_t>(checksum >> (8 * b));
    }
    return image;
}

std::vector<uint8_t> Pattern(size_t length, int kind) {
    std::vector<uint8_t> text(length);
    uint32_t seed = 99;
    for (size_t i = 0; i < length; ++i) {
        switch (kind) {
            case 0:
                text[i] = 0x00;
                break;
            case 1:
                text[i] = 0xFF;
                break;
            case 2:
                text[i] = static_cast<uint8_t>(i * 7 + 3);
                break;
            default:
                seed = seed * 1103515245u + 12345u;
                text[i] = static_cast<uint8_t>(seed >> 16);
                break;
        }
    }
    return text;
}

const size_t kLengths[] = {0, 1, 12, 13, 14, 255, 256, 257, 3327, 3328, 3329, 6656, 6657, 20011};

}  // namespace

TEST(data_scrambled, ScramblingInPlaceGivesTheReferenceImage) {
    for (size_t length : kLengths) {
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<uint8_t> text = Pattern(length, kind);
            std::vector<uint8_t> expected = ReferenceImage(text);
            std::vector<uint8_t> image(22 + length, 0xAA);
            if (length > 0) {
                memcpy(image.data() + 22, text.data(), length);
            }
            ZQI_ScrambleDatabaseImageInPlace(image.data(), static_cast<int32_t>(length));
            EXPECT_EQ(image, expected) << "length " << length << ", pattern " << kind;
        }
    }
}

TEST(data_scrambled, ScrambledCopiesGiveTheReferenceImageAndReadBack) {
    for (size_t length : kLengths) {
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<uint8_t> text = Pattern(length, kind);
            uint8_t* image = nullptr;
            int32_t size = 0;
            ASSERT_TRUE(ZQI_ScrambleDatabaseText(text.data(), static_cast<int32_t>(length), &image, &size));
            EXPECT_EQ(std::vector<uint8_t>(image, image + size), ReferenceImage(text))
                << "length " << length << ", pattern " << kind;
            uint8_t* plain = nullptr;
            int32_t plainLength = 0;
            ASSERT_TRUE(ZQI_UnscrambleDatabaseImage(image, size, &plain, &plainLength));
            EXPECT_EQ(std::vector<uint8_t>(plain, plain + plainLength), text);
            EXPECT_EQ(plain[plainLength], 0);
            free(plain);
            free(image);
        }
    }
}
