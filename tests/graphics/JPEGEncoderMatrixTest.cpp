// Valid files from the options of libjpeg's own encoder (what cjpeg writes with -scans,
// -progressive, -arithmetic, -optimize, -restart, -sample and -grayscale, at sizes down to one
// pixel) load as libjpeg itself decodes them, djpeg's pixels, whatever their coding: none of the
// reader's bounds on a file's cost may refuse them. Coding never changes the coefficients, so
// the Huffman and arithmetic twins of a file also load to the same pixels.
#include <algorithm>
#include <string>
#include <vector>

#include "GraphicsTestSupport.h"
#include "graphics/ImageLoader.h"

namespace {

const char* const kColour13 =
    "0,1,2: 0 0 0 1; 0: 1 2 0 2; 0: 3 5 0 2; 2: 1 63 0 1; 1: 1 63 0 1; 0: 6 20 0 2; 0: 21 63 0 2;"
    "0: 1 63 2 1; 0,1,2: 0 0 1 0; 2: 1 63 1 0; 1: 1 63 1 0; 0: 1 32 1 0; 0: 33 63 1 0;";

// Scan scripts in cjpeg's syntax (each passes cjpeg -scans), with bands of AC coefficients of
// one scan each.
std::string Bands(int component, int count, int first, int last, int Ah, int Al) {
    std::string script;
    for (int i = 0; i < count; ++i) {
        const int from = first + i * (last - first + 1) / count;
        const int to = first + (i + 1) * (last - first + 1) / count - 1;
        script += std::to_string(component) + ": " + std::to_string(from) + " " + std::to_string(to) + " " +
                  std::to_string(Ah) + " " + std::to_string(Al) + ";";
    }
    return script;
}

// Two DC scans and 64 bands of AC coefficients over the three components.
std::string Colour66() {
    return "0,1,2: 0 0 0 1; 0,1,2: 0 0 1 0;" + Bands(0, 22, 1, 63, 0, 0) + Bands(1, 21, 1, 63, 0, 0) +
           Bands(2, 21, 1, 63, 0, 0);
}

// cjpeg's most: one hundred scans, every AC coefficient first on its own, then refined in bands.
std::string Gray100() {
    return "0: 0 0 0 2; 0: 0 0 2 1; 0: 0 0 1 0;" + Bands(0, 63, 1, 63, 0, 2) + Bands(0, 17, 1, 63, 2, 1) +
           Bands(0, 17, 1, 63, 1, 0);
}

struct Script {
    const char* name;
    std::string text;  // "-": libjpeg's standard progression; "": one sequential scan
    bool colour;
};

std::vector<Script> Scripts() {
    // Sequential scripts of several scans: each component, or the first two together, on its own.
    return {{"sequential", "", true},       {"sequential", "", false},
            {"sequential 0;1;2", "0; 1; 2;", true}, {"sequential 0,1;2", "0,1; 2;", true},
            {"progressive", "-", true},     {"progressive", "-", false},
            {"colour-13", kColour13, true}, {"colour-66", Colour66(), true},
            {"gray-11", "0: 0 0 0 0;" + Bands(0, 10, 1, 63, 0, 0), false},
            {"gray-13", "0: 0 0 0 1;" + Bands(0, 10, 1, 63, 0, 1) + "0: 0 0 1 0; 0: 1 63 1 0;", false},
            {"gray-100", Gray100(), false}};
}

JPEGOptions Options(const Script& script) {
    JPEGOptions options;
    options.grayscale = !script.colour;
    options.progressive = script.text == "-";
    options.scans = script.text == "-" ? "" : script.text;
    return options;
}

// Smooth fields with some noise, like a photograph rather than static, so that large images
// encode and decode in about the time real ones take.
TestImage PhotoImage(int32_t width, int32_t height, uint32_t seed) {
    TestImage image = PatternImage(width, height, seed, true);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = image.At(x, y);
            p[0] = uint8_t(x / 4 + y / 8 + p[0] / 16);
            p[1] = uint8_t((x + y) / 16 * 3 + p[1] / 16);
            p[2] = uint8_t(128 + ((x / 32) ^ (y / 32)) + p[2] / 16);
        }
    }
    return image;
}

class JPEGEncoderMatrixTest : public GraphicsTest {
protected:
    void TearDown() override {
        for (zq_bitmap_t& bitmap : bitmaps_) {
            ZQI_GetImageLoader()->FreeImagePixels(&bitmap);
        }
        GraphicsTest::TearDown();
    }

    // Loads the file into bitmap i; an empty text when it loads as djpeg decodes it (without a
    // warning: the encoder's files are valid), else what went wrong.
    std::string LoadsAsTheLibraryDecodes(int i, const std::string& bytes) {
        zq_bitmap_t& bitmap = bitmaps_[i];
        ZQI_GetImageLoader()->FreeImagePixels(&bitmap);
        bitmap = zq_bitmap_t();
        if (!ReadJPEG(&bitmap, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) {
            return "refused";
        }
        long warnings = 0;
        if (!MatchesJPEGReference(&bitmap, bytes, &warnings)) {
            return "pixels differ from libjpeg's";
        }
        return warnings == 0 ? "" : "libjpeg warns";
    }

    zq_bitmap_t bitmaps_[3] = {};
};

bool SamePixels(const zq_bitmap_t& a, const zq_bitmap_t& b) {
    return a.width == b.width && a.height == b.height && a.pixels != nullptr && b.pixels != nullptr &&
           std::equal(a.pixels, a.pixels + size_t(a.width) * a.height * 4, b.pixels);
}

TEST_F(JPEGEncoderMatrixTest, EveryOptionOfTheEncoderLoadsAsTheLibraryDecodes) {
    const std::vector<std::pair<int, int>> kColourSampling = {{1, 1}, {2, 1}, {1, 2}, {2, 2}, {3, 1}, {4, 2}};
    // One pixel, and sizes just past whole MCUs of every sampling here (4x2 ones are 32 x 16).
    const std::pair<int, int> kSizes[] = {{1, 1}, {19, 37}, {70, 45}, {33, 17}};
    const char* const kCodings[] = {"huffman", "optimized", "arithmetic"};
    std::vector<std::string> failures;
    int files = 0;
    for (const Script& script : Scripts()) {
        for (const auto& sampling : script.colour ? kColourSampling : std::vector<std::pair<int, int>>{{1, 1}}) {
            for (const auto& size : kSizes) {
                const TestImage image = PatternImage(size.first, size.second, uint32_t(files), true);
                for (int restart : {0, 1, 3}) {  // MCUs per interval
                    const std::string name = std::string(script.name) + (script.colour ? " colour " : " gray ") +
                                             std::to_string(sampling.first) + "x" + std::to_string(sampling.second) +
                                             " " + std::to_string(size.first) + "x" + std::to_string(size.second) +
                                             " restart " + std::to_string(restart) + " ";
                    for (int coding = 0; coding < 3; ++coding, ++files) {
                        JPEGOptions options = Options(script);
                        options.lumaH = sampling.first;
                        options.lumaV = sampling.second;
                        options.restartMCUs = restart;
                        options.optimize = coding == 1;
                        options.arithmetic = coding == 2;
                        std::string problem = LoadsAsTheLibraryDecodes(coding, EncodeJPEG(image, options));
                        if (problem.empty() && coding > 0 && bitmaps_[0].pixels != nullptr &&
                            !SamePixels(bitmaps_[0], bitmaps_[coding])) {
                            problem = "not its Huffman twin's pixels";
                        }
                        if (!problem.empty()) {
                            failures.push_back(name + kCodings[coding] + ": " + problem);
                        }
                    }
                }
            }
        }
    }
    std::string list;
    for (size_t i = 0; i < failures.size() && i < 40; ++i) {
        list += "\n  " + failures[i];
    }
    EXPECT_TRUE(failures.empty()) << failures.size() << " of " << files << " files:" << list;
}

// Every script at sizes met in practice: a photograph with a restart interval each row of MCUs (the
// many-scan scripts cost work in proportion to their scans, and still load; their Huffman and
// arithmetic twins to the same pixels), and a flat image with tables made for it, which spends
// the fewest bits Huffman codes allow: one for each block of a progressive first scan, two for a
// sequential one, just the reader's floor (restart intervals pad each to a byte).
TEST_F(JPEGEncoderMatrixTest, ManyScanScriptsAndFlatImagesAtTheFloorLoadAtOrdinarySizes) {
    const TestImage photo = PhotoImage(800, 600, 7);
    TestImage flat = PatternImage(512, 384, 1, true);
    for (size_t i = 0; i < flat.rgba.size(); ++i) {
        flat.rgba[i] = i % 4 == 3 ? 255 : uint8_t(60 + 50 * (i % 4));
    }
    for (const Script& script : Scripts()) {
        const std::string name = std::string(script.name) + (script.colour ? " colour" : " gray");
        for (int coding = 0; coding < 3; coding += 2) {
            JPEGOptions options = Options(script);
            options.fullColour = true;
            options.restartRows = 1;
            options.arithmetic = coding == 2;
            EXPECT_EQ("", LoadsAsTheLibraryDecodes(coding, EncodeJPEG(photo, options))) << name << " " << coding;
        }
        EXPECT_TRUE(SamePixels(bitmaps_[0], bitmaps_[2])) << name;
        for (int restart : {0, 64}) {
            JPEGOptions options = Options(script);
            options.optimize = true;
            options.restartMCUs = restart;
            EXPECT_EQ("", LoadsAsTheLibraryDecodes(1, EncodeJPEG(flat, options))) << name << " flat " << restart;
        }
    }
}

}  // namespace
