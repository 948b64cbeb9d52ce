// JPEG scan data as the reader judges it: data ending before the last row is refused whatever marker
// follows, the byte floor counts entropy-coded bytes only, and the work of all scans is counted
// from their headers and bounded before libjpeg decodes any, whatever the coding. Valid files come
// from libjpeg's encoder and must decode as libjpeg decodes them.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "ChildProcess.h"
#include "GraphicsTestSupport.h"
#include "graphics/ImageLoader.h"
#include "graphics/JPEGScanData.h"

namespace {

bool IsRestartMarker(uint8_t code) {
    return code >= 0xD0 && code <= 0xD7;
}

// Where a JPEG's frame header and its scan-th scan's header (0 the first) stand, and the scan's
// entropy-coded data (restart markers among it) from data up to end.
struct Layout {
    size_t frame = 0, scan = 0, data = 0, end = 0;
};

Layout Find(const std::string& jpeg, size_t scan = 0) {
    Layout l;
    for (size_t at = 2, left = scan + 1; left-- > 0; at = l.end) {
        for (l.scan = 0; l.scan == 0; at = l.data) {
            const uint8_t m = uint8_t(jpeg[at + 1]);
            l.frame = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC ? at : l.frame;
            l.scan = m == 0xDA ? at : 0;
            l.data = at + 2 + (size_t(uint8_t(jpeg[at + 2])) << 8 | uint8_t(jpeg[at + 3]));
        }
        for (l.end = l.data; l.end + 1 < jpeg.size(); ++l.end) {
            const uint8_t next = uint8_t(jpeg[l.end + 1]);
            if (uint8_t(jpeg[l.end]) == 0xFF && next != 0 && !IsRestartMarker(next)) {
                break;
            }
        }
    }
    return l;
}

std::string Data(const std::string& jpeg) {
    const Layout l = Find(jpeg);
    return jpeg.substr(l.data, l.end - l.data);
}

// The file with its first scan's data cut to keep bytes, inserted after them, and what followed
// the data kept or (the file's bytes ending there) dropped.
std::string Cut(const std::string& jpeg, size_t keep, const std::string& inserted = "",
                bool dropRest = false) {
    const Layout l = Find(jpeg);
    return jpeg.substr(0, l.data + std::min(keep, l.end - l.data)) + inserted +
           (dropRest ? "" : jpeg.substr(l.end));
}

std::string Claiming(std::string jpeg, int width, int height) {
    jpeg.replace(Find(jpeg).frame + 5, 4,
                 std::string{char(height >> 8), char(height), char(width >> 8), char(width)});
    return jpeg;
}

// A comment (or another marker's segment) of length bytes.
std::string Comment(size_t length, uint8_t marker = 0xFE) {
    return std::string{char(0xFF), char(marker), char((length + 2) >> 8), char(length + 2)} +
           std::string(length, 'x');
}

// Where the restart markers stand in a scan's data.
std::vector<size_t> RestartMarkers(const std::string& data) {
    std::vector<size_t> markers;
    for (size_t at = 0; at + 1 < data.size(); ++at) {
        if (uint8_t(data[at]) == 0xFF && IsRestartMarker(uint8_t(data[at + 1]))) {
            markers.push_back(at);
        }
    }
    return markers;
}

// Options set in their order of declaration (quality, standard progression, arithmetic coding,
// restart rows, full colour), the others left as they are.
JPEGOptions With(int quality, bool progressive, bool arithmetic, int restartRows = 0,
                 bool fullColour = false) {
    JPEGOptions options;
    options.quality = quality;
    options.progressive = progressive;
    options.arithmetic = arithmetic;
    options.restartRows = restartRows;
    options.fullColour = fullColour;
    return options;
}

std::string Encode(const TestImage& image, bool progressive, bool arithmetic, int restartRows = 0,
                   bool fullColour = false) {
    return EncodeJPEG(image, With(90, progressive, arithmetic, restartRows, fullColour));
}

// Arithmetic-coded, every component 1x1, of the coefficients fill chooses for each block.
std::string EncodeBlocks(int32_t width, int32_t height, const std::string& scans,
                         void (*fill)(unsigned x, unsigned y, JCOEF* block)) {
    JPEGOptions options = With(90, false, true);
    options.scans = scans;
    options.coefficients = fill;
    TestImage size;  // no pixels: the coefficients stand for them
    size.width = width, size.height = height;
    return EncodeJPEG(size, options);
}

size_t CountScans(const std::string& jpeg) {
    size_t scans = 0;
    for (size_t at = jpeg.find("\xFF\xDA"); at != std::string::npos; at = jpeg.find("\xFF\xDA", at + 2)) {
        ++scans;
    }
    return scans;
}

// The file with copies of the scan-th scan's header (and, withData, of its entropy-coded bytes)
// right after that scan. A scan without data is legal in arithmetic coding.
std::string WithCopies(const std::string& jpeg, size_t scan, size_t copies, bool withData) {
    const Layout l = Find(jpeg, scan);
    std::string more;
    for (more.reserve((l.end - l.scan) * copies); copies > 0; --copies) {
        more.append(jpeg, l.scan, (withData ? l.end : l.data) - l.scan);
    }
    return jpeg.substr(0, l.end) + more + jpeg.substr(l.end);
}

// The bytes of every scan's entropy-coded data, restart markers among them.
uint64_t EntropyCodedBytes(const std::string& jpeg) {
    uint64_t bytes = 0;
    for (size_t scan = CountScans(jpeg); scan-- > 0;) {
        bytes += Find(jpeg, scan).end - Find(jpeg, scan).data;
    }
    return bytes;
}

bool Decodes(zq_bitmap_t* bitmap, const std::string& bytes) {
    return ReadJPEG(bitmap, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Read under the allowance given, with 32 decisions for each bit of data as always.
bool DecodesWithin(zq_bitmap_t* bitmap, const std::string& bytes, uint64_t allowance,
                   ZQI_JPEGCounted* counted = nullptr) {
    const ZQI_JPEGDecisionLimit limit = {allowance, ZQI_JPEG_DECISION_LIMIT.perDataBit};
    return ZQI_ReadJPEGWithin(bitmap, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), limit,
                              counted);
}

const uint64_t kUnlimited = uint64_t(1) << 62;  // no file takes that many decisions

TestImage Flat(int32_t width, int32_t height, uint8_t value) {
    TestImage image = PatternImage(width, height, 1, true);
    std::fill(image.rgba.begin(), image.rgba.end(), value);
    return image;
}

// Components may share an id; libjpeg gives each place of a scan the next of them. Here a scan naming
// the id twice decodes the second component, of 3 x 3 blocks an MCU, with the first.
std::string SharedIds() {
    JPEGOptions options = With(90, false, true, 0, true);
    options.scans = "0,1; 2;";
    std::string jpeg = EncodeJPEG(PatternImage(48, 48, 3, true), options);
    const Layout l = Find(jpeg);
    jpeg[l.frame + 13] = jpeg[l.frame + 10];  // the second component takes the first one's id
    jpeg[l.frame + 14] = char(0x33);          // and samples 3 x 3
    jpeg[l.scan + 7] = jpeg[l.frame + 10];    // the scan names the id twice
    return jpeg;
}

class JPEGScanDataTest : public ImageLoadingTest {};

// Arithmetic-coded files may hold far less data than the floor for Huffman codes, and a whole one
// without its end marker loads with a warning as a Huffman one does.
TEST_F(JPEGScanDataTest, ValidFilesLoadAsTheLibraryDecodesThem) {
    const TestImage image = PatternImage(64, 48, 5, true);
    // 256 MCUs with a restart marker after each: their floor is met only through the markers.
    const std::string flatRestarts = Encode(Flat(8, 2048, 90), false, false, 1, true);
    ASSERT_EQ(255u, RestartMarkers(Data(flatRestarts)).size());
    const std::string flatArithmetic = Encode(Flat(1024, 1024, 200), true, true);
    ASSERT_LT(flatArithmetic.size(), 1000u);
    const struct {
        const char* name;
        std::string bytes;
        bool withoutEnd;
    } kValid[] = {
        {"flat-restarts.jpg", flatRestarts, false},
        {"segments-between-scans.jpg",
         Cut(Encode(image, true, false), SIZE_MAX, Comment(3000) + Comment(500, 0xE1)), false},
        {"arithmetic-flat.jpg", flatArithmetic, false},
        {"arithmetic.jpg", Encode(image, false, true), true},
        {"arithmetic-progressive.jpg", Encode(image, true, true, 0, true), true},
        {"arithmetic-restarts.jpg", Encode(image, false, true, 1), true},
    };
    int withoutEnd = 0;
    for (const auto& c : kValid) {
        for (int cut = 0; cut <= int(c.withoutEnd); ++cut) {
            withoutEnd += cut;
            ASSERT_TRUE(Load(c.name, c.bytes.substr(0, c.bytes.size() - (cut ? 2 : 0)))) << c.name << cut;
            EXPECT_TRUE(PixelsEqual(&bitmap_, DecodeJPEGReference(c.bytes))) << c.name << cut;
        }
    }
    EXPECT_EQ(withoutEnd, CountLogged("WARNING: 1 warnings while loading JPEG 'NULL'."));
    EXPECT_EQ(withoutEnd, CountLogged("warnings while loading JPEG"));
}

TEST_F(JPEGScanDataTest, FilesThatEndEarlyOrCostMoreThanTheyHoldAreRefused) {
    const TestImage image = PatternImage(64, 48, 7, true);
    const std::string baseline = Encode(image, false, false);
    const std::string progressive = Encode(image, true, false);
    const std::string restarts = Encode(image, false, false, 1, true);
    const std::string arithmetic = Encode(image, false, true);
    const std::string arithmeticRestarts = Encode(image, false, true, 1, true);
    const std::vector<size_t> intervals = RestartMarkers(Data(restarts));
    ASSERT_EQ(5u, intervals.size());
    // The second of six restart intervals halved, the markers kept.
    std::string shortInterval = Data(restarts);
    shortInterval.erase((intervals[0] + 2 + intervals[1]) / 2, (intervals[1] - intervals[0] - 2) / 2);
    const char* const kEnds = "ReadJPEG: 'NULL' ends before its last row";
    const char* const kFloor = "ReadJPEG: the data of 'NULL' is shorter than its 1024x1024 pixels.";
    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } kRefused[] = {
        // Huffman data that ends before the last row, whatever marker follows it.
        {"at-end.jpg", Cut(baseline, Data(baseline).size() / 2), kEnds},
        {"at-comment.jpg", Cut(baseline, Data(baseline).size() / 2, Comment(20)), kEnds},
        {"at-next-scan.jpg", Cut(progressive, Data(progressive).size() / 2), kEnds},
        {"at-restart.jpg", Cut(restarts, 0, shortInterval), kEnds},
        {"intervals-end-at-comment.jpg", Cut(restarts, intervals[2], Comment(20)), kEnds},
        // Arithmetic data (which may end early by right) whose bytes end inside a scan.
        {"arithmetic-cut.jpg", Cut(arithmetic, Data(arithmetic).size() / 2, "", true), kEnds},
        {"arithmetic-intervals-end.jpg", Cut(arithmeticRestarts, RestartMarkers(Data(arithmeticRestarts))[2]), kEnds},
        // Padding and comments do not meet the floor of 1024 x 1024 (6144 bytes of baseline scan).
        {"padded-by-comment.jpg", Claiming(Cut(baseline, SIZE_MAX, Comment(12000)), 1024, 1024), kFloor},
        {"padded-after-end.jpg", Claiming(baseline, 1024, 1024) + std::string(12000, '\0'), kFloor},
    };
    const uint64_t peakBefore = PeakResidentBytes();
    for (const auto& c : kRefused) {
        const int logged = CountLogged(c.reason);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(Load(c.name, c.bytes)) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)) << c.name;
        EXPECT_EQ(logged + 1, CountLogged(c.reason)) << c.name;
    }
    EXPECT_LT(PeakResidentBytes() - peakBefore, uint64_t(64) * 1024 * 1024);
}

// The work of a file's scans, counted from its headers before libjpeg decodes any: 2^32 steps at most.
const uint64_t kMostSteps = uint64_t(1) << 32;
const char* const kPastBudget = "ReadJPEG: the scans of 'NULL' take more than 4294967296 steps to decode.";

std::string ReadTestFile(const std::string& name) {
    return ReadNativeFile(std::string(ZQ_TEST_SOURCE_DIR) + "/files/" + name);
}

// Two flat images of the pixel cap's width written by cjpeg with one seventeen-scan script, one block
// row apart, just under the budget (loads, 1.5 GiB of coefficients beside 1 GiB of pixels) and past it.
TEST_F(JPEGScanDataTest, TheWorkBudgetRefusesOnlyFilesPastIt) {
    // Every pixel is what libjpeg decodes from a small image of that colour written the same way.
    JPEGOptions options = With(90, false, true, 0, true);
    options.scans = ReadTestFile("seventeen-scans.txt");
    TestImage twin = Flat(16, 16, 0);
    for (size_t i = 0; i < twin.rgba.size(); ++i) {
        twin.rgba[i] = uint8_t(200 - 80 * (i % 4));  // 200, 120, 40
    }
    const TestImage reference = DecodeJPEGReference(EncodeJPEG(twin, options));
    ASSERT_EQ(16, reference.width);
    std::string row;
    for (int x = 0; x < 16384; ++x) {
        row.append(reinterpret_cast<const char*>(reference.At(0, 0)), 4);
    }
    ASSERT_TRUE(Decodes(&bitmap_, ReadTestFile("flat-16384x15944-seventeen-scans.jpg")));
    ASSERT_EQ(16384, bitmap_.width);
    EXPECT_EQ(15944, bitmap_.height);
    int differentRows = 0;
    for (int y = 0; y < bitmap_.height; ++y) {
        differentRows += memcmp(bitmap_.pixels + size_t(y) * row.size(), row.data(), row.size()) != 0;
    }
    EXPECT_EQ(0, differentRows);
    ZQI_GetImageLoader()->FreeImagePixels(&bitmap_);
    const std::string pastFile = ReadTestFile("flat-16384x15952-seventeen-scans.jpg");
    EXPECT_FALSE(Decodes(&bitmap_, pastFile));
    EXPECT_EQ(nullptr, bitmap_.pixels);
    EXPECT_EQ(1, CountLogged(kPastBudget));
    // The pixel cap, checked before the work, sits at 16384 x 16384.
    zq_bitmap_t header = {};
    for (int height : {16384, 16385}) {
        const std::string claiming = Claiming(pastFile, 16384, height);
        EXPECT_EQ(height == 16384, ReadJPEGDimensions(&header, reinterpret_cast<const uint8_t*>(claiming.data()),
                                                      claiming.size()));
    }
    EXPECT_FALSE(Decodes(&bitmap_, Claiming(pastFile, 16384, 16385)));
    EXPECT_EQ(2, CountLogged("unsupported dimensions 16384x16385"));
    EXPECT_EQ(1, CountLogged(kPastBudget));
}

// Scans are bounded by their cost, not their number: 100000 copies of a small file's first scan and
// a scan naming a shared id twice load; millions of empty ones over one block (1057 steps each) do not.
TEST_F(JPEGScanDataTest, ScansAreBoundedByTheirWorkNotTheirCount) {
    const std::string progressive = Encode(PatternImage(16, 16, 8, true), true, false);
    const std::string arithmetic = Encode(PatternImage(64, 48, 7, true), true, true, 0, true);
    const std::pair<std::string, std::string> kLoading[] = {
        {progressive, WithCopies(progressive, 0, 100000, true)},
        {arithmetic, WithCopies(arithmetic, 0, 90, true)},
        {SharedIds(), SharedIds()}};
    for (const auto& file : kLoading) {
        ASSERT_TRUE(Decodes(&bitmap_, file.second));
        EXPECT_TRUE(MatchesJPEGReference(&bitmap_, file.first));
        EXPECT_TRUE(MatchesJPEGReference(&bitmap_, file.second));
    }
    JPEGOptions gray = With(90, true, true);
    gray.grayscale = true;
    const std::string oneBlock = EncodeJPEG(Flat(8, 8, 100), gray);
    EXPECT_FALSE(Decodes(&bitmap_, WithCopies(oneBlock, 0, size_t(kMostSteps / 1057) + 1, false)));
    EXPECT_EQ(nullptr, bitmap_.pixels);
    EXPECT_EQ(1, CountLogged(kPastBudget));
}

// A model of libjpeg's arithmetic decoder: the decisions it takes for a block. kZigzag: where the
// k-th coefficient of a band stands in a block.
const int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
                         41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
                         30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// A magnitude m is coded as m - 1: two decisions for each of its bits, or one for m = 1.
int MagnitudeDecisions(int magnitude) {
    int bits = 0;
    for (int m = magnitude - 1; m != 0; m >>= 1) {
        ++bits;
    }
    return bits == 0 ? 1 : 2 * bits;
}

// A band of AC values from before (null: a first scan) to after: an end-of-block decision before
// each run (in a refinement only past the last value before left), one for each position of the
// run, and for the value ending it a sign and, in a first scan, its magnitude.
int Decided(const int* before, const int* after, int Ss, int Se) {
    int kex = before ? Se : Ss - 1;
    while (before && kex > 0 && before[kZigzag[kex]] == 0) {
        --kex;
    }
    int decisions = 0;
    for (int k = Ss; k <= Se; ++k) {
        if (k > kex) {
            int last = Se;
            while (last >= k && after[kZigzag[last]] == (before ? before[kZigzag[last]] : 0)) {
                --last;
            }
            ++decisions;  // end of block?
            if (last < k) {
                break;
            }
        }
        for (;; ++k) {
            ++decisions;
            if (before && before[kZigzag[k]] != 0) {
                break;  // a correction bit
            }
            if (after[kZigzag[k]] != 0) {
                decisions += 1 + (before ? 0 : MagnitudeDecisions(std::abs(after[kZigzag[k]])));
                break;
            }
        }
    }
    return decisions;
}

uint64_t Counted(const std::vector<int>& block, bool progressive, int Ss, int Se, int Ah) {
    JCOEF coefficients[64];
    std::copy(block.begin(), block.end(), coefficients);
    return ZQI_JPEGArithmeticDecisions(coefficients, progressive, Ss, Se, Ah, 0);
}

// The count is never below what the decoder decides, and close to it for the costliest blocks (the
// largest DC difference and AC values), whose decisions the decoder may take without data.
TEST_F(JPEGScanDataTest, ArithmeticDecisionsAreCountedFromAbove) {
    std::vector<std::vector<int>> blocks(1, std::vector<int>(64, 0));
    uint32_t seed = 7;
    for (int magnitude : {1, 2, 3, 4, 5, 255, 1023, 16384}) {
        std::vector<int> last(64, 0), all(64, 0), every3(64, 0), random(64, 0);
        last[63] = magnitude;
        for (int k = 1; k < 64; ++k) {
            all[kZigzag[k]] = k % 2 ? magnitude : -magnitude;
            every3[kZigzag[k]] = k % 3 == 0 ? magnitude : 0;
            seed = seed * 1664525u + 1013904223u;  // an eighth of the values, at random
            random[k] = seed >> 29 == 0 ? int(seed >> 8 & 2047) - 1024 : 0;
        }
        blocks.insert(blocks.end(), {last, all, every3, random});
    }
    const int maxDC = 2 + MagnitudeDecisions(32768);  // zero?, sign, the largest difference
    const std::vector<int> zeros(64, 0);
    // Bands of up to 16 positions are read position by position, wider ones across the block.
    const struct {
        int Ss, Se;
    } kBands[] = {{1, 63}, {1, 5}, {6, 63}, {21, 63}, {1, 1}, {63, 63}, {48, 63}, {47, 63}, {30, 40}};
    for (const std::vector<int>& block : blocks) {
        for (const auto& band : kBands) {
            EXPECT_GE(Counted(block, true, band.Ss, band.Se, 0), uint64_t(Decided(nullptr, block.data(), band.Ss, band.Se)));
            // A refinement from zero, the costliest (within the end-of-block decision a band ending
            // in a value does without), or one that changes nothing.
            const uint64_t fromZero = uint64_t(Decided(zeros.data(), block.data(), band.Ss, band.Se));
            const uint64_t refined = Counted(block, true, band.Ss, band.Se, 1);
            EXPECT_GE(refined, fromZero);
            EXPECT_LE(refined, fromZero + 1);
            EXPECT_GE(refined, uint64_t(Decided(block.data(), block.data(), band.Ss, band.Se)));
        }
        EXPECT_GE(Counted(block, true, 0, 0, 0), uint64_t(maxDC));
        EXPECT_LE(Counted(block, true, 0, 0, 0), 32u + 32 / 8);
        const uint64_t decided = uint64_t(Decided(nullptr, block.data(), 1, 63));
        EXPECT_GE(Counted(block, false, 0, 63, 0), maxDC + decided);
        if (std::abs(block[63]) == 16384) {  // the costliest, with or without zeros between values
            EXPECT_LE(Counted(block, true, 1, 63, 0), decided + decided / 8);
            EXPECT_LE(Counted(block, false, 0, 63, 0), 32 + decided + (32 + decided) / 8);
        }
    }
}

// What the limit lets a file of these bytes of data take.
uint64_t MostDecisions(uint64_t allowance, uint64_t dataBytes) {
    return allowance + 32 * 8 * dataBytes;
}

std::string PastTheBound(uint64_t bound, uint64_t dataBytes) {
    return "ReadJPEG: the arithmetic-coded data of 'NULL' takes more than the " + std::to_string(bound) +
           " decisions its " + std::to_string(dataBytes) + " bytes allow.";
}

// At the real limit, 40 empty first DC scans over 4096 x 4096 in full colour (each decodes every DC
// value again) stay within the allowance and 41 pass it, which their few bytes do not pay for.
TEST_F(JPEGScanDataTest, ArithmeticDecodingIsBoundedByItsDecisionsAndItsData) {
    JPEGOptions options = With(90, false, true, 0, true);
    options.scans = "0,1,2: 0 0 0 0; 0: 1 63 0 0; 1: 1 63 0 0; 2: 1 63 0 0;";
    const std::string flat = Claiming(EncodeJPEG(Flat(16, 16, 90), options), 4096, 4096);
    const uint64_t flatBytes = EntropyCodedBytes(flat);
    ASSERT_TRUE(Decodes(&bitmap_, WithCopies(flat, 0, 39, false)));
    ZQI_GetImageLoader()->FreeImagePixels(&bitmap_);
    EXPECT_FALSE(Decodes(&bitmap_, WithCopies(flat, 0, 40, false)));
    EXPECT_EQ(nullptr, bitmap_.pixels);
    EXPECT_EQ(1, CountLogged(PastTheBound(MostDecisions(uint64_t(1) << 30, flatBytes), flatBytes)));
    EXPECT_EQ(0, CountLogged(kPastBudget));
}

// libjpeg's arithmetic decoder reads each block of an AC refinement back from the band's end to the
// last value earlier scans left: refining coefficient 63 alone costs 63 positions (Huffman: one).
TEST_F(JPEGScanDataTest, ArithmeticRefinementsCountThePositionsLibjpegReadsBack) {
    JPEGOptions gray;
    gray.grayscale = true;
    gray.scans = "0: 0 0 0 0; 0: 1 62 0 0; 0: 63 63 0 1; 0: 63 63 1 0;";
    const uint64_t perBlock = (32 + 1) + (32 + 62) + (32 + 1);
    for (bool coding : {false, true}) {
        gray.arithmetic = coding;
        const std::string bytes = EncodeJPEG(PatternImage(512, 512, 3, true), gray);
        ZQI_JPEGCounted counted = {};
        ASSERT_TRUE(DecodesWithin(&bitmap_, bytes, uint64_t(1) << 30, &counted));
        EXPECT_TRUE(MatchesJPEGReference(&bitmap_, bytes));
        EXPECT_EQ(4 * 1024 + 64 * 64 * (perBlock + 32 + (coding ? 63 : 1)), counted.steps) << coding;
    }
}

// A file of one scan counted as libjpeg decodes it: every block of its MCUs (padding included) as
// counted alone, and 64 + 34 for each restart interval.
uint64_t DecisionsOfOneScan(const std::string& bytes) {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&info, TRUE);
    const bool one = info.num_components == 1;  // MCUs of one block, none padded
    const JDIMENSION mcuWidth = 8 * info.max_h_samp_factor, mcuHeight = 8 * info.max_v_samp_factor;
    const uint64_t MCUs = one ? uint64_t(info.comp_info[0].width_in_blocks) * info.comp_info[0].height_in_blocks
                              : uint64_t((info.image_width + mcuWidth - 1) / mcuWidth) *
                                    ((info.image_height + mcuHeight - 1) / mcuHeight);
    const uint64_t interval = info.restart_interval == 0 ? MCUs : info.restart_interval;
    uint64_t decisions = (MCUs + interval - 1) / interval * (64 + 34);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        const JDIMENSION h = one ? 1 : component.h_samp_factor, v = one ? 1 : component.v_samp_factor;
        for (JDIMENSION y = 0; y < (component.height_in_blocks + v - 1) / v * v; ++y) {
            JBLOCKROW row =
                info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info), arrays[c], y, 1, FALSE)[0];
            for (JDIMENSION x = 0; x < (component.width_in_blocks + h - 1) / h * h; ++x) {
                decisions += ZQI_JPEGArithmeticDecisions(row[x], false, 0, 63, 0, 0);
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return decisions;
}

// Files of one scan are counted as the oracle above counts them. Photographs, noise and drawn art
// take under 32 decisions for each bit of data and load with no allowance; a flat image with a patch
// of detail takes more, loads at the allowance it needs beyond its data's share, and one less is
// refused before any pixel. Odd sizes pad the MCUs past the image's edges.
TEST_F(JPEGScanDataTest, TheDecisionLimitIsAnAllowanceAnd32DecisionsForEachBitOfData) {
    TestImage noisy = PatternImage(97, 83, 3, true);  // every channel of every pixel at random
    TestImage photo = Flat(97, 83, 0), text = Flat(97, 83, 235), smooth = Flat(645, 485, 140);
    uint32_t seed = 1;
    for (int32_t y = 0; y < photo.height; ++y) {
        for (int32_t x = 0; x < photo.width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 29) - 4;  // noise of -4 to 3
            uint8_t* p = photo.At(x, y);
            p[0] = uint8_t(60 + x + n), p[1] = uint8_t(90 + y + n), p[2] = uint8_t(120 + n), p[3] = 255;
            if ((x * 7 + y * 3) % 11 < 3 && y % 12 < 9) {
                text.At(x, y)[0] = text.At(x, y)[1] = text.At(x, y)[2] = 20;
            }
        }
    }
    const TestImage patch = PatternImage(16, 16, 4, true);
    for (int32_t y = 0; y < patch.height; ++y) {
        memcpy(smooth.At(200, 100 + y), patch.At(0, y), size_t(patch.width) * 4);
    }
    struct File {
        const TestImage* image;
        const char* scans;  // "-": libjpeg's standard progression
        int quality, restartMCUs, lumaH, lumaV;
        bool gray;
    };
    std::vector<File> files = {{&smooth, "", 75, 0, 2, 2, false},      {&smooth, "", 75, 100, 1, 1, true},
                               {&smooth, "", 75, 30, 4, 2, false},     {&smooth, "", 75, 0, 1, 2, false},
                               {&smooth, "-", 75, 400, 2, 1, false},   {&smooth, "0; 1; 2;", 75, 0, 1, 1, false}};
    for (const TestImage* image : {&noisy, &photo, &text}) {
        for (const char* scans : {"", "-", "0; 1; 2;"}) {
            for (int quality : {50, 100}) {
                files.push_back({image, scans, quality, quality == 100 ? 1 : 0, 0, 0, false});
            }
        }
    }
    for (const File& f : files) {
        JPEGOptions options = With(f.quality, std::string(f.scans) == "-", true);
        options.scans = options.progressive ? "" : f.scans;
        options.grayscale = f.gray;
        options.restartMCUs = f.restartMCUs;
        options.lumaH = f.lumaH, options.lumaV = f.lumaV;
        const std::string bytes = EncodeJPEG(*f.image, options);
        const std::string name = std::to_string(f.image->width) + " '" + f.scans + "' " + std::to_string(f.quality) +
                                 " " + std::to_string(f.lumaH) + "x" + std::to_string(f.lumaV);
        const uint64_t dataBytes = EntropyCodedBytes(bytes);
        ZQI_JPEGCounted counted = {};
        ASSERT_TRUE(DecodesWithin(&bitmap_, bytes, kUnlimited, &counted)) << name;
        EXPECT_EQ(dataBytes, counted.dataBytes) << name;
        if (*f.scans == '\0') {
            EXPECT_EQ(DecisionsOfOneScan(bytes), counted.decisions) << name;
        }
        const uint64_t share = MostDecisions(0, dataBytes);
        EXPECT_EQ(f.image != &smooth, counted.decisions <= share) << name;
        const uint64_t edge = counted.decisions > share ? counted.decisions - share : 0;
        ASSERT_TRUE(DecodesWithin(&bitmap_, bytes, edge)) << name;
        EXPECT_TRUE(MatchesJPEGReference(&bitmap_, bytes)) << name;
        if (edge > 0) {
            const uint64_t peakBefore = PeakResidentBytes();
            EXPECT_FALSE(DecodesWithin(&bitmap_, bytes, edge - 1)) << name;
            EXPECT_EQ(nullptr, bitmap_.pixels) << name;
            EXPECT_EQ(1, CountLogged(PastTheBound(counted.decisions - 1, dataBytes))) << name;
            EXPECT_LT(PeakResidentBytes() - peakBefore, uint64_t(16) * 1024 * 1024) << name;
        }
    }
}

// The file with the scan-th scan's point transform (the low bits it holds back) set to Al.
std::string WithPointTransform(std::string jpeg, size_t scan, int Al) {
    const size_t at = Find(jpeg, scan).data - 1;
    jpeg[at] = char((uint8_t(jpeg[at]) & 0xF0) | Al);
    return jpeg;
}

// AC values some point transforms shift partly or wholly out of the 16 bits libjpeg keeps.
void OutOfRange(unsigned x, unsigned y, JCOEF* block) {
    static const JCOEF kValues[] = {-32768, 32767, 16384, -16384, 8, -9, 1, 0, 2047, -3, 0, 0};
    for (unsigned k = 1; k < 64; ++k) {
        block[k] = kValues[(x + 3 * y + k) % (sizeof(kValues) / sizeof(kValues[0]))];
    }
}

// A few AC values, at other positions in other blocks.
void Sparse(unsigned x, unsigned y, JCOEF* block) {
    for (unsigned k = 1; k < 64; ++k) {
        block[k] = k % 7 == (x + y) % 7 ? JCOEF(-32768) : 0;
    }
}

// A point transform shifts first AC values after the decoder decided them whole: the same data is
// counted as without one. So is a second first scan of the band (libjpeg warns), which leaves the
// first one's values where it decodes none.
TEST_F(JPEGScanDataTest, FirstACValuesAreCountedAsDecodedWhateverTheirPointTransform) {
    const char* const kScans = "0,1,2: 0 0 0 0; 0: 1 63 0 0; 1: 1 63 0 0; 2: 1 63 0 0;";
    const std::string bytes = EncodeBlocks(64, 48, kScans, OutOfRange);
    const std::string sparse = EncodeBlocks(64, 48, kScans, Sparse);
    const Layout first = Find(bytes, 1), second = Find(sparse, 1);
    const std::string twice = bytes.substr(0, first.end) + sparse.substr(second.scan, second.end - second.scan) +
                              bytes.substr(first.end);
    const struct {
        std::string file;
        bool warns;  // the file of two first scans of a band, the second's point transform set
    } kFiles[] = {{bytes, false}, {WithPointTransform(twice, 1, 1), true}};
    for (const auto& f : kFiles) {
        ZQI_JPEGCounted without = {};
        ASSERT_TRUE(DecodesWithin(&bitmap_, f.file, kUnlimited, &without));
        EXPECT_TRUE(MatchesJPEGReference(&bitmap_, f.file));
        std::vector<uint64_t> counts;
        for (int Al : {1, 2, 3, 13}) {
            const std::string shifted = f.warns ? WithPointTransform(f.file, 2, Al)
                                                 : WithPointTransform(WithPointTransform(f.file, 1, Al), 3, Al);
            ZQI_JPEGCounted counted = {};
            ASSERT_TRUE(DecodesWithin(&bitmap_, shifted, kUnlimited, &counted)) << Al;
            counts.push_back(counted.decisions);
            long warnings = 0;
            EXPECT_TRUE(MatchesJPEGReference(&bitmap_, shifted, &warnings)) << Al;
            EXPECT_EQ(f.warns, warnings > 0) << Al;
        }
        EXPECT_EQ(std::vector<uint64_t>(4, counts[0]), counts) << f.warns;
        // The second scan's values alone, not those of the first it leaves.
        EXPECT_TRUE(f.warns ? counts[0] < without.decisions : counts[0] == without.decisions) << f.warns;
    }
}

// Every value at the largest magnitude the decoder takes: about 2,200 decisions a block.
void Largest(unsigned x, unsigned, JCOEF* block) {
    for (int k = 0; k < 64; ++k) {
        block[k] = k != 0 || x % 2 == 0 ? 16384 : -16384;
    }
}

// Past the end of its data (a scan cut to 3000 bytes, the image claimed larger) the decoder decides
// the largest values again for every block at no cost in data: refused within the row of MCUs that
// passes the bound, whether one scan or a scan each component.
TEST_F(JPEGScanDataTest, DecisionsThatCostNoDataStopAtTheBound) {
    const uint64_t allowance = uint64_t(1) << 24;
    const uint64_t mostOfBlock = 34 + 64 + 63 * (3 + 2 * 15);  // 15 bits: 16384
    const struct {
        const char* scans;
        uint64_t blocksOfRow;  // at 2048 x 2048
    } kFiles[] = {{"", 3 * 256}, {"0; 1; 2;", 256}};
    for (const auto& f : kFiles) {
        const std::string whole = EncodeBlocks(256, 256, f.scans, Largest);
        const Layout cut = Find(whole);
        ASSERT_GT(cut.end - cut.data, 3000u);
        const std::string file = Claiming(whole.substr(0, cut.data + 3000) + whole.substr(cut.end), 2048, 2048);
        const uint64_t dataBytes = EntropyCodedBytes(file);
        const uint64_t bound = MostDecisions(allowance, dataBytes);
        ZQI_JPEGCounted counted = {};
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(DecodesWithin(&bitmap_, file, allowance, &counted)) << f.scans;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << f.scans;
        EXPECT_EQ(nullptr, bitmap_.pixels);
        EXPECT_EQ(dataBytes, counted.dataBytes) << f.scans;
        EXPECT_GT(counted.decisions, bound) << f.scans;
        EXPECT_LE(counted.decisions, bound + f.blocksOfRow * mostOfBlock + 64 + 34) << f.scans;
        EXPECT_EQ(1, CountLogged(PastTheBound(bound, dataBytes))) << f.scans;
    }
}

// Small files claiming the largest image are refused before libjpeg takes coefficients for all of it
// (1.5 GiB); one of one scan keeps an iMCU row of them, not 192 MiB beside 128 MiB of pixels. Peak
// memory is measured in a process of its own (jpeg_load_child), which earlier tests cannot hide.
TEST_F(JPEGScanDataTest, HostileFilesAreRefusedBeforeTheirCost) {
    const std::string arithmetic = Claiming(Encode(Flat(16, 16, 90), true, true, 0, true), 16384, 16384);
    const std::string ninety = Encode(PatternImage(64, 48, 7, true), true, true, 0, true);
    // One bit for each of the 3 x 2048 x 2048 blocks of a Huffman first scan meets the floor.
    const std::string huffman = Claiming(Encode(Flat(16, 16, 90), true, false, 0, true), 16384, 16384);
    const std::string floorMet = Cut(huffman, Data(huffman).size(), std::string(3 * 2048 * 2048 / 8, '\0'));
    const struct {
        const char* name;
        std::string bytes;
        uint64_t mostMiB;  // 0: refused
    } kFiles[] = {
        {"arithmetic-100-empty-scans.jpg", WithCopies(arithmetic, 0, 100 - CountScans(arithmetic), false), 0},
        {"arithmetic-ninety-copies-claims-16384.jpg", Claiming(WithCopies(ninety, 0, 90, true), 16384, 16384), 0},
        {"huffman-100-empty-scans.jpg", WithCopies(floorMet, 0, 100 - CountScans(floorMet), false), 0},
        // Ten scans of both components of a shared id pass the budget with the second one's blocks.
        {"shared-ids-16384.jpg", WithCopies(Claiming(SharedIds(), 16384, 16384), 0, 9, false), 0},
        {"one-scan-8192x4096.jpg", Claiming(Encode(PatternImage(64, 64, 9, true), false, true, 0, true), 8192, 4096),
         128 + 48},
    };
    EXPECT_LT(kFiles[0].bytes.size(), 2000u);
    for (const auto& c : kFiles) {
        if (c.mostMiB == 0) {
            const int logged = CountLogged(kPastBudget);
            EXPECT_FALSE(Load(c.name, c.bytes)) << c.name;
            EXPECT_EQ(logged + 1, CountLogged(kPastBudget)) << c.name;
        }
        WriteResFile(c.name, c.bytes);
        const std::string output = NativeResPath(std::string(c.name) + ".out");
        ChildProcess child;
        ASSERT_TRUE(child.Start("jpeg_load_child", {NativeResPath(c.name), output})) << c.name;
        ASSERT_EQ(0, child.Wait(60000)) << c.name;
        const std::string answer = ReadNativeFile(output);  // "loaded|refused <rise of the peak>"
        EXPECT_EQ(c.mostMiB != 0 ? "loaded" : "refused", answer.substr(0, answer.find(' '))) << c.name;
        EXPECT_LT(std::strtoull(answer.substr(answer.find(' ') + 1).c_str(), nullptr, 10),
                  (c.mostMiB != 0 ? c.mostMiB : 64) << 20) << c.name;
    }
}

}  // namespace
