// JPEG scan data as the reader judges it: data ending before the last row is refused whatever marker
// follows, arithmetic-coded files are bounded in cost, and the byte floor counts entropy-coded bytes
// only. Valid files come from libjpeg's encoder and must decode as libjpeg decodes them.
#include <algorithm>
#include <chrono>

#include "GraphicsTestSupport.h"

namespace {

bool IsRestartMarker(uint8_t code) {
    return code >= 0xD0 && code <= 0xD7;
}

// Where a JPEG's frame header and first scan's header stand, and the scan's entropy-coded data
// (restart markers among it) from data up to end.
struct Layout {
    size_t frame = 0, scan = 0, data = 0, end = 0;
};

Layout Find(const std::string& jpeg) {
    Layout l;
    for (size_t at = 2; l.scan == 0; at = l.data) {
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

std::string Encode(const TestImage& image, bool progressive, bool arithmetic, int restartRows = 0,
                   bool fullColour = false) {
    JPEGOptions options;
    options.progressive = progressive;
    options.arithmetic = arithmetic;
    options.restartRows = restartRows;
    options.fullColour = fullColour;
    return EncodeJPEG(image, options);
}

TestImage Flat(int32_t width, int32_t height, uint8_t value) {
    TestImage image = PatternImage(width, height, 1, true);
    std::fill(image.rgba.begin(), image.rgba.end(), value);
    return image;
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
    // 90 more copies of the DC scan (144 blocks each) decode over ten times the image's blocks.
    const std::string costly = Encode(image, true, true, 0, true);
    const Layout dc = Find(costly);
    std::string dcScans;
    for (int i = 0; i < 90; ++i) {
        dcScans += costly.substr(dc.scan, dc.end - dc.scan);
    }

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
        // Arithmetic files bounded in work, and in memory (1.5 GiB of coefficients beside 1 GiB of
        // pixels) before libjpeg takes it.
        {"ninety-dc-scans.jpg", Cut(costly, SIZE_MAX, dcScans),
         "ReadJPEG: 'NULL' decodes more than 10 times its blocks."},
        {"claims-16384.jpg", Claiming(Cut(costly, SIZE_MAX, dcScans), 16384, 16384),
         "ReadJPEG: 'NULL' needs more than 1024 MB with its pixels."},
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

}  // namespace
