// JPEG scan data as the reader judges it: data that ends before the last row is refused whatever
// marker follows it, arithmetic-coded files (whose data may end early by right) are bounded in
// what they cost, and the byte floor counts the first scan's entropy-coded bytes only. Valid
// files come from libjpeg's encoder and must decode as libjpeg's own decoder decodes them.
#include <chrono>

#include "GraphicsTestSupport.h"
#include "graphics/ImageLoader.h"

namespace {

const uint8_t kSOS = 0xDA;
const uint8_t kEOI = 0xD9;
const uint8_t kCOM = 0xFE;
const uint8_t kAPP1 = 0xE1;

bool IsRestartMarker(uint8_t code) {
    return code >= 0xD0 && code <= 0xD7;
}

// A JPEG cut at its markers. After an SOS, data holds the scan's entropy-coded bytes (restart
// markers among them) up to the next other marker.
struct Segment {
    uint8_t marker = 0;
    std::string header;  // the marker with its parameters
    std::string data;
};

std::vector<Segment> SplitJPEG(const std::string& jpeg) {
    std::vector<Segment> segments;
    segments.push_back({0xD8, jpeg.substr(0, 2), ""});
    size_t at = 2;
    while (at + 1 < jpeg.size()) {
        Segment segment;
        segment.marker = uint8_t(jpeg[at + 1]);
        if (segment.marker == kEOI) {
            segment.header = jpeg.substr(at, 2);
            segments.push_back(segment);
            break;
        }
        const size_t length = size_t(uint8_t(jpeg[at + 2])) << 8 | uint8_t(jpeg[at + 3]);
        segment.header = jpeg.substr(at, 2 + length);
        at += 2 + length;
        if (segment.marker == kSOS) {
            size_t end = at;
            while (end + 1 < jpeg.size() && !(uint8_t(jpeg[end]) == 0xFF && jpeg[end + 1] != '\0' &&
                                              !IsRestartMarker(uint8_t(jpeg[end + 1])))) {
                ++end;
            }
            segment.data = jpeg.substr(at, end - at);
            at = end;
        }
        segments.push_back(segment);
    }
    return segments;
}

std::string JoinJPEG(const std::vector<Segment>& segments) {
    std::string jpeg;
    for (const Segment& segment : segments) {
        jpeg += segment.header + segment.data;
    }
    return jpeg;
}

size_t IndexOfScan(const std::vector<Segment>& segments, int scan) {
    for (size_t i = 0; i < segments.size(); ++i) {
        if (segments[i].marker == kSOS && scan-- == 0) {
            return i;
        }
    }
    return segments.size();
}

std::vector<Segment> Scans(const std::vector<Segment>& segments) {
    std::vector<Segment> scans;
    for (const Segment& segment : segments) {
        if (segment.marker == kSOS) {
            scans.push_back(segment);
        }
    }
    return scans;
}

// A segment of the given marker carrying length bytes of text.
Segment MarkerSegment(uint8_t marker, size_t length) {
    std::string header = {char(0xFF), char(marker), char((length + 2) >> 8), char((length + 2) & 0xFF)};
    return {marker, header + std::string(length, 'x'), ""};
}

// The JPEG with the size in its frame header (any of the SOF markers) replaced.
std::string ClaimingSize(std::string jpeg, int width, int height) {
    for (const Segment& segment : SplitJPEG(jpeg)) {
        const uint8_t m = segment.marker;
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
            const size_t sof = jpeg.find(segment.header);
            jpeg[sof + 5] = char(height >> 8);
            jpeg[sof + 6] = char(height);
            jpeg[sof + 7] = char(width >> 8);
            jpeg[sof + 8] = char(width);
            break;
        }
    }
    return jpeg;
}

// Where the restart markers stand in a scan's data (the offset of each marker's 0xFF).
std::vector<size_t> RestartMarkers(const std::string& data) {
    std::vector<size_t> markers;
    for (size_t at = 0; at + 1 < data.size(); ++at) {
        if (uint8_t(data[at]) == 0xFF && IsRestartMarker(uint8_t(data[at + 1]))) {
            markers.push_back(at);
        }
    }
    return markers;
}

// The file with the data of its first scan cut to half, and nothing after it.
std::string CutInFirstScan(std::vector<Segment> segments) {
    const size_t first = IndexOfScan(segments, 0);
    segments.resize(first + 1);
    segments[first].data.resize(segments[first].data.size() / 2);
    return JoinJPEG(segments);
}

class JPEGScanDataTest : public ImageLoadingTest {
protected:
    // Refused without pixels, the reason logged.
    void ExpectRefused(const std::string& name, const std::string& bytes, const std::string& reason) {
        EXPECT_FALSE(Load(name, bytes)) << name;
        EXPECT_EQ(nullptr, bitmap_.pixels) << name;
        EXPECT_TRUE(Logged(reason)) << name << ": " << reason;
    }
};

JPEGOptions Options(bool progressive, bool arithmetic, int restartRows = 0, bool fullColour = false) {
    JPEGOptions options;
    options.progressive = progressive;
    options.arithmetic = arithmetic;
    options.restartRows = restartRows;
    options.fullColour = fullColour;
    return options;
}

TEST_F(JPEGScanDataTest, ValidFilesOfEveryCodingLoadAsTheLibraryDecodesThem) {
    const TestImage image = PatternImage(64, 48, 5, true);
    // Comment and application segments between the scans of a progressive file.
    std::vector<Segment> withSegments = SplitJPEG(EncodeJPEG(image, Options(true, false)));
    const size_t second = IndexOfScan(withSegments, 1);
    withSegments.insert(withSegments.begin() + long(second), MarkerSegment(kCOM, 3000));
    withSegments.insert(withSegments.begin() + long(second), MarkerSegment(kAPP1, 500));

    // Arithmetic coding needs no bytes for what its statistics predict: libjpeg's encoder leaves
    // a scan of a small image empty, and codes a large flat image in a few hundred bytes.
    TestImage gradient = PatternImage(8, 8, 1, true);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            gradient.At(x, y)[0] = uint8_t(x * 7 + y * 3);
            gradient.At(x, y)[1] = uint8_t(x * x + y);
            gradient.At(x, y)[2] = uint8_t(x ^ y);
        }
    }
    const std::string small = EncodeJPEG(gradient, Options(true, true));
    bool hasEmptyScan = false;
    for (const Segment& scan : Scans(SplitJPEG(small))) {
        hasEmptyScan = hasEmptyScan || scan.data.empty();
    }
    EXPECT_TRUE(hasEmptyScan);
    TestImage flat = PatternImage(1024, 1024, 1, true);
    for (size_t i = 0; i < flat.rgba.size(); ++i) {
        flat.rgba[i] = 200;
    }
    const std::string flatArithmetic = EncodeJPEG(flat, Options(true, true));
    EXPECT_LT(flatArithmetic.size(), 1000u);
    // A flat column with a restart marker after each of its 256 MCUs: two bytes of data between
    // markers, 768 blocks that need 192 bytes; the floor counts the data through the markers.
    flat = PatternImage(8, 2048, 1, true);
    for (size_t i = 0; i < flat.rgba.size(); ++i) {
        flat.rgba[i] = 90;
    }
    const std::string flatRestarts = EncodeJPEG(flat, Options(false, false, 1, true));
    ASSERT_EQ(255u, RestartMarkers(Scans(SplitJPEG(flatRestarts))[0].data).size());

    const struct {
        const char* name;
        std::string bytes;
    } kValid[] = {
        {"restarts.jpg", EncodeJPEG(image, Options(false, false, 1))},
        {"progressive-restarts.jpg", EncodeJPEG(image, Options(true, false, 2))},
        {"segments-between-scans.jpg", JoinJPEG(withSegments)},
        {"arithmetic.jpg", EncodeJPEG(image, Options(false, true))},
        {"arithmetic-progressive.jpg", EncodeJPEG(image, Options(true, true))},
        {"arithmetic-restarts.jpg", EncodeJPEG(image, Options(false, true, 1))},
        {"arithmetic-progressive-restarts.jpg", EncodeJPEG(image, Options(true, true, 1, true))},
        {"arithmetic-empty-scan.jpg", small},
        {"arithmetic-flat.jpg", flatArithmetic},
        {"flat-restarts.jpg", flatRestarts},
    };
    for (const auto& c : kValid) {
        ASSERT_TRUE(Load(c.name, c.bytes)) << c.name;
        EXPECT_TRUE(PixelsEqual(&bitmap_, DecodeJPEGReference(c.bytes))) << c.name;
    }
    EXPECT_FALSE(Logged("warnings while loading JPEG"));
}

TEST_F(JPEGScanDataTest, HuffmanDataThatEndsBeforeTheLastRowIsRefusedWhateverMarkerFollows) {
    const TestImage image = PatternImage(64, 48, 7, true);
    const std::vector<Segment> baseline = SplitJPEG(EncodeJPEG(image, Options(false, false)));
    const std::vector<Segment> progressive = SplitJPEG(EncodeJPEG(image, Options(true, false)));
    const std::vector<Segment> restarts = SplitJPEG(EncodeJPEG(image, Options(false, false, 1, true)));

    // The first scan's data halved, then a comment and the end marker.
    std::vector<Segment> atComment = baseline;
    const size_t first = IndexOfScan(atComment, 0);
    atComment[first].data.resize(atComment[first].data.size() / 2);
    atComment.insert(atComment.begin() + long(first) + 1, MarkerSegment(kCOM, 20));
    // The DC scan halved, the later scans kept.
    std::vector<Segment> atNextScan = progressive;
    atNextScan[IndexOfScan(atNextScan, 0)].data.resize(atNextScan[IndexOfScan(atNextScan, 0)].data.size() / 2);
    // Six rows of MCUs with a restart marker after each: three whole ones, then a comment.
    std::vector<Segment> atRestart = restarts;
    const size_t scan = IndexOfScan(atRestart, 0);
    ASSERT_EQ(5u, RestartMarkers(atRestart[scan].data).size());
    atRestart[scan].data.resize(RestartMarkers(atRestart[scan].data)[2]);
    atRestart.insert(atRestart.begin() + long(scan) + 1, MarkerSegment(kCOM, 20));
    // The second interval's data halved; the restart markers and the other intervals kept.
    std::vector<Segment> shortInterval = restarts;
    std::string& data = shortInterval[IndexOfScan(shortInterval, 0)].data;
    const size_t secondStart = RestartMarkers(data)[0] + 2;
    const size_t secondEnd = RestartMarkers(data)[1];
    data.erase(secondStart + (secondEnd - secondStart) / 2, (secondEnd - secondStart) / 2);

    ExpectRefused("at-comment.jpg", JoinJPEG(atComment), "ReadJPEG: 'NULL' ends before its last row");
    ExpectRefused("at-next-scan.jpg", JoinJPEG(atNextScan), "ReadJPEG: 'NULL' ends before its last row");
    ExpectRefused("intervals-end-at-comment.jpg", JoinJPEG(atRestart), "ReadJPEG: 'NULL' ends before its last row");
    ExpectRefused("short-interval.jpg", JoinJPEG(shortInterval), "ReadJPEG: 'NULL' ends before its last row");
    EXPECT_EQ(4, CountLogged("ReadJPEG: 'NULL' ends before its last row"));
}

TEST_F(JPEGScanDataTest, ArithmeticDataThatEndsInsideAScanIsRefused) {
    const TestImage image = PatternImage(64, 48, 9, true);
    const std::vector<Segment> sequential = SplitJPEG(EncodeJPEG(image, Options(false, true)));
    const std::vector<Segment> progressive = SplitJPEG(EncodeJPEG(image, Options(true, true)));
    const std::vector<Segment> restarts = SplitJPEG(EncodeJPEG(image, Options(false, true, 1, true)));
    // Three of six restart intervals, then the end marker: arithmetic data may end before its
    // interval does, but a missing restart marker ends the scan.
    std::vector<Segment> atRestart = restarts;
    std::string& intervals = atRestart[IndexOfScan(atRestart, 0)].data;
    ASSERT_EQ(5u, RestartMarkers(intervals).size());
    intervals.resize(RestartMarkers(intervals)[2]);

    // The file's bytes end inside the scan's data.
    ExpectRefused("cut-arithmetic.jpg", CutInFirstScan(sequential), "ReadJPEG: 'NULL' ends before its last row");
    ExpectRefused("cut-arithmetic-progressive.jpg", CutInFirstScan(progressive),
                  "ReadJPEG: 'NULL' ends before its last row");
    ExpectRefused("arithmetic-intervals-end.jpg", JoinJPEG(atRestart), "ReadJPEG: 'NULL' ends before its last row");
    EXPECT_EQ(3, CountLogged("ReadJPEG: 'NULL' ends before its last row"));
}

TEST_F(JPEGScanDataTest, WholeArithmeticFilesWithoutTheirEndMarkerLoad) {
    // Like a Huffman-coded file without its end marker, these load with a warning. libjpeg's
    // arithmetic decoder reads ahead of what it decodes, so for each of these files it asks for
    // bytes past the end while it decodes the last row of blocks of the last scan.
    const TestImage image = PatternImage(64, 48, 15, true);
    const struct {
        const char* name;
        JPEGOptions options;
    } kFiles[] = {
        {"arithmetic-no-end.jpg", Options(false, true)},
        {"arithmetic-progressive-no-end.jpg", Options(true, true)},
        {"arithmetic-restarts-no-end.jpg", Options(false, true, 1)},
        {"arithmetic-progressive-full-colour-no-end.jpg", Options(true, true, 0, true)},
    };
    for (const auto& file : kFiles) {
        const std::string whole = EncodeJPEG(image, file.options);
        ASSERT_EQ(std::string("\xFF\xD9"), whole.substr(whole.size() - 2));
        EXPECT_TRUE(Load(file.name, whole.substr(0, whole.size() - 2))) << file.name;
        EXPECT_TRUE(PixelsEqual(&bitmap_, DecodeJPEGReference(whole))) << file.name;
    }
    EXPECT_EQ(4, CountLogged("WARNING: 1 warnings while loading JPEG 'NULL'."));
    EXPECT_FALSE(Logged("ends before its last row"));
}

TEST_F(JPEGScanDataTest, ArithmeticFilesCostNoMoreThanTheLargestImage) {
    // 64 x 48 with colour at full resolution: 8 x 6 blocks in each of three components, 144 in
    // all. libjpeg's scan script decodes 672 blocks: the two DC scans 144 each, four scans of
    // the luminance's AC coefficients and two of each chroma's 48 each.
    const TestImage image = PatternImage(64, 48, 11, true);
    const std::string progressive = EncodeJPEG(image, Options(true, true, 0, true));
    const std::vector<Segment> segments = SplitJPEG(progressive);
    ASSERT_EQ(10u, Scans(segments).size());
    // Copies of the DC scan (144 blocks each, decoded afresh each time) right after it leave the
    // image as it was. Ten times the image's blocks is 1440: five copies fit, six do not.
    const auto withDCScans = [&](int copies) {
        std::vector<Segment> more = segments;
        const size_t first = IndexOfScan(more, 0);
        more.insert(more.begin() + long(first) + 1, size_t(copies), more[first]);
        return JoinJPEG(more);
    };
    ASSERT_TRUE(Load("five-more.jpg", withDCScans(5)));
    EXPECT_TRUE(PixelsEqual(&bitmap_, DecodeJPEGReference(progressive)));
    ASSERT_FALSE(Load("six-more.jpg", withDCScans(6)));
    EXPECT_TRUE(Logged("ReadJPEG: 'NULL' decodes more than 10 times its blocks."));
    ASSERT_FALSE(Load("ninety-more.jpg", withDCScans(90)));
    EXPECT_EQ(2, CountLogged("ReadJPEG: 'NULL' decodes more than 10 times its blocks."));

    // Claiming the largest size, the same bytes would need 1.5 GiB of coefficients (6 bytes a
    // pixel) beside the pixels' 1 GiB, and with libjpeg's half-resolution colour 768 MiB: both
    // are refused before libjpeg takes the memory.
    const uint64_t peakBefore = PeakResidentBytes();
    const auto started = std::chrono::steady_clock::now();
    ExpectRefused("claims-16384-full-colour.jpg", ClaimingSize(withDCScans(90), 16384, 16384),
                  "ReadJPEG: 'NULL' needs more than 1024 MB with its pixels.");
    ExpectRefused("claims-16384.jpg", ClaimingSize(EncodeJPEG(image, Options(true, true)), 16384, 16384),
                  "ReadJPEG: 'NULL' needs more than 1024 MB with its pixels.");
    EXPECT_EQ(2, CountLogged("ReadJPEG: 'NULL' needs more than 1024 MB with its pixels."));
    EXPECT_LT(PeakResidentBytes() - peakBefore, uint64_t(64) * 1024 * 1024);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}

TEST_F(JPEGScanDataTest, TheByteFloorCountsOnlyTheFirstScansData) {
    const TestImage image = PatternImage(64, 48, 13, true);
    const std::vector<Segment> baseline = SplitJPEG(EncodeJPEG(image, Options(false, false)));
    const std::vector<Segment> progressive = SplitJPEG(EncodeJPEG(image, Options(true, false)));
    // 1024 x 1024 with half-resolution colour: 16384 + 2 x 4096 blocks of at least two bits in a
    // baseline scan, at least one in a DC scan: 6144 and 3072 bytes. The files hold less scan data,
    // and 12000 bytes of padding.
    const auto padded = [](std::vector<Segment> segments, bool afterEnd) {
        if (afterEnd) {
            return ClaimingSize(JoinJPEG(segments), 1024, 1024) + std::string(12000, '\0');
        }
        segments.insert(segments.begin() + long(IndexOfScan(segments, 0)) + 1, MarkerSegment(kCOM, 12000));
        return ClaimingSize(JoinJPEG(segments), 1024, 1024);
    };
    const char* const kShort = "ReadJPEG: the data of 'NULL' is shorter than its 1024x1024 pixels.";
    ExpectRefused("comment.jpg", padded(baseline, false), kShort);
    ExpectRefused("after-end.jpg", padded(baseline, true), kShort);
    ExpectRefused("progressive-comment.jpg", padded(progressive, false), kShort);
    ASSERT_EQ(3, CountLogged(kShort));

    // A megabyte of comments no longer stands for the largest image (a DC scan's floor for it is
    // 786432 bytes).
    std::vector<Segment> comments = progressive;
    for (int i = 0; i < 16; ++i) {
        comments.insert(comments.begin() + long(IndexOfScan(comments, 0)) + 1, MarkerSegment(kCOM, 65000));
    }
    const uint64_t peakBefore = PeakResidentBytes();
    ExpectRefused("comments.jpg", ClaimingSize(JoinJPEG(comments), 16384, 16384),
                  "ReadJPEG: the data of 'NULL' is shorter than its 16384x16384 pixels.");
    EXPECT_LT(PeakResidentBytes() - peakBefore, uint64_t(64) * 1024 * 1024);
}

}  // namespace
