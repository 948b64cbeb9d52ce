// Valid files from the options of libjpeg's own encoder (cjpeg's -scans, -progressive, -arithmetic,
// -optimize, -restart, -sample, -grayscale) load as libjpeg decodes them: no bound of the reader
// may refuse them, and Huffman and arithmetic twins hold the same coefficients, so the same pixels.
#include <algorithm>
#include <string>
#include <vector>

#include "GraphicsTestSupport.h"
#include "graphics/ImageLoader.h"

namespace {

// count bands of AC coefficients, one scan each, in cjpeg's scan-script syntax.
std::string Bands(int component, int count, int Ah, int Al) {
    std::string script;
    for (int i = 0; i < count; ++i) {
        script += std::to_string(component) + ": " + std::to_string(1 + i * 63 / count) + " " +
                  std::to_string((i + 1) * 63 / count) + " " + std::to_string(Ah) + " " + std::to_string(Al) + ";";
    }
    return script;
}

struct Script {
    const char* name;
    std::string text;  // "-": libjpeg's standard progression; "": one sequential scan
    bool colour;
};
const std::vector<Script>& Scripts() {
    static const std::vector<Script> scripts = {
        {"sequential", "", true}, {"sequential gray", "", false}, {"sequential 0,1;2", "0,1; 2;", true},
        {"progressive", "-", true},
        {"colour-13",
         "0,1,2: 0 0 0 1; 0: 1 2 0 2; 0: 3 5 0 2; 2: 1 63 0 1; 1: 1 63 0 1; 0: 6 20 0 2; 0: 21 63 0 2;"
         "0: 1 63 2 1; 0,1,2: 0 0 1 0; 2: 1 63 1 0; 1: 1 63 1 0; 0: 1 32 1 0; 0: 33 63 1 0;",
         true},
        {"colour-66", "0,1,2: 0 0 0 1; 0,1,2: 0 0 1 0;" + Bands(0, 22, 0, 0) + Bands(1, 21, 0, 0) + Bands(2, 21, 0, 0),
         true},
        // cjpeg's most scans: every AC coefficient first on its own, then refined in bands.
        {"gray-100", "0: 0 0 0 2; 0: 0 0 2 1; 0: 0 0 1 0;" + Bands(0, 63, 0, 2) + Bands(0, 17, 2, 1) + Bands(0, 17, 1, 0),
         false}};
    return scripts;
}

JPEGOptions Options(const Script& script, int coding) {
    JPEGOptions options;
    options.grayscale = !script.colour;
    options.progressive = script.text == "-";
    options.scans = script.text == "-" ? "" : script.text;
    options.optimize = coding == 1;
    options.arithmetic = coding == 2;
    return options;
}

class JPEGEncoderMatrixTest : public GraphicsTest {
protected:
    void TearDown() override {
        for (zq_bitmap_t& bitmap : bitmaps_) {
            ZQI_GetImageLoader()->FreeImagePixels(&bitmap);
        }
        GraphicsTest::TearDown();
    }

    // "" when the file loads (into bitmap i) as djpeg decodes it, without a warning, and as its Huffman
    // twin in bitmap 0 did.
    std::string Loads(int i, const std::string& bytes) {
        zq_bitmap_t& bitmap = bitmaps_[i];
        ZQI_GetImageLoader()->FreeImagePixels(&bitmap);
        bitmap = zq_bitmap_t();
        long warnings = 0;
        if (!ReadJPEG(&bitmap, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) {
            return "refused";
        } else if (!MatchesJPEGReference(&bitmap, bytes, &warnings)) {
            return "pixels differ from libjpeg's";
        } else if (warnings != 0) {
            return "libjpeg warns";
        }
        const zq_bitmap_t& twin = bitmaps_[0];
        const bool same = twin.width == bitmap.width && twin.height == bitmap.height && twin.pixels != nullptr &&
                          std::equal(twin.pixels, twin.pixels + size_t(twin.width) * twin.height * 4, bitmap.pixels);
        return same ? "" : "not its Huffman twin's pixels";
    }

    zq_bitmap_t bitmaps_[3] = {};
};

TEST_F(JPEGEncoderMatrixTest, EveryOptionOfTheEncoderLoadsAsTheLibraryDecodes) {
    const std::vector<std::pair<int, int>> kColourSampling = {{1, 1}, {2, 1}, {1, 2}, {2, 2}, {3, 1}, {4, 2}};
    for (const Script& script : Scripts()) {
        for (const auto& sampling : script.colour ? kColourSampling : std::vector<std::pair<int, int>>{{1, 1}}) {
            // One pixel, and a size just past whole MCUs of every sampling (4x2 ones are 32 x 16).
            for (const auto& size : {std::make_pair(1, 1), std::make_pair(33, 17)}) {
                const TestImage image = PatternImage(size.first, size.second, uint32_t(sampling.first), true);
                for (int restart : {0, 3}) {  // MCUs per interval
                    for (int coding = 0; coding < 3; ++coding) {
                        JPEGOptions options = Options(script, coding);
                        options.lumaH = sampling.first, options.lumaV = sampling.second;
                        options.restartMCUs = restart;
                        EXPECT_EQ("", Loads(coding, EncodeJPEG(image, options)))
                            << script.name << " " << sampling.first << "x" << sampling.second << " "
                            << size.first << " restart " << restart << " coding " << coding;
                    }
                }
            }
        }
    }
}

// Every script on a photograph-sized image, a restart interval each row of MCUs (many-scan scripts
// cost work in proportion to their scans and still load), and on a flat image with optimized tables,
// which spends the fewest bits Huffman codes allow: just the reader's floor.
TEST_F(JPEGEncoderMatrixTest, ManyScanScriptsAndFlatImagesAtTheFloorLoadAtOrdinarySizes) {
    TestImage photo = PatternImage(800, 600, 7, true), flat = PatternImage(512, 384, 1, true);
    for (size_t i = 0, x = 0, y = 0; i < photo.rgba.size(); ++i, x = i / 4 % 800, y = i / 3200) {
        const size_t field = i % 4 == 0 ? x / 4 + y / 8 : i % 4 == 1 ? (x + y) / 16 * 3 : 128 + (x / 32 ^ y / 32);
        photo.rgba[i] = i % 4 == 3 ? 255 : uint8_t(field + photo.rgba[i] / 16);  // smooth, some noise
        flat.rgba[i % flat.rgba.size()] = i % 4 == 3 ? 255 : uint8_t(60 + 50 * (i % 4));
    }
    for (const Script& script : Scripts()) {
        for (int coding = 0; coding < 3; coding += 2) {
            JPEGOptions options = Options(script, coding);
            options.fullColour = true;
            options.restartRows = 1;
            EXPECT_EQ("", Loads(coding, EncodeJPEG(photo, options))) << script.name << " " << coding;
        }
        for (int restart : {0, 64}) {
            JPEGOptions options = Options(script, 1);
            options.restartMCUs = restart;
            EXPECT_EQ("", Loads(0, EncodeJPEG(flat, options))) << script.name << " flat " << restart;
        }
    }
}

}  // namespace
