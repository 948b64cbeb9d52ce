// A JPEG's scans as the file's own bytes show them, read before libjpeg decodes anything: the
// entropy-coded bytes of a scan and the work of decoding every scan. The JPEG reader bounds a
// file by them before libjpeg takes its buffers for the whole image, and bounds the decisions of
// the arithmetic decoder, counted from the coefficients each scan leaves, by the data the file
// holds. Internal to the graphics code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs size_t and FILE declared first

#include <jpeglib.h>

// The entropy-coded bytes of the scan whose data starts at bytes: up to the marker that ends it,
// past restart markers when the scan has restart intervals (libjpeg ends a scan's data at any
// marker, and reads restart markers only at the end of an interval). A stuffed zero byte and the
// fill bytes before a marker carry no data.
uint64_t ZQI_JPEGScanDataBytes(const uint8_t* bytes, size_t size, bool hasRestarts);

// What decoding a file's scans costs libjpeg, in steps. A scan costs ZQI_JPEG_SCAN_STEPS, and each
// block it decodes ZQI_JPEG_BLOCK_STEPS and one step for each coefficient of its band (of an
// arithmetic-coded AC refinement, each position up to its band's end, which libjpeg reads back
// before decoding the band). The costliest scans measured here (refinement scans and DC scans of
// the largest image, their data run out) take about 1.5 ns a step, so the budget is a few seconds
// of decoding, whatever the coding.
enum : uint64_t {
    ZQI_JPEG_SCAN_STEPS = 1024,
    ZQI_JPEG_BLOCK_STEPS = 32,
    ZQI_MOST_JPEG_DECODING_STEPS = uint64_t(1) << 32,
};

// What the scans of a file cost and hold, from the scan whose header libjpeg has just read (the
// first, whose data starts at the source's next byte) to the last one libjpeg would read, up to
// the end-of-image marker or the end of the source's bytes. Counting stops once the steps pass
// mostSteps.
struct ZQI_JPEGScanWork {
    uint64_t steps;
    // The bytes of the scans' entropy-coded data: from the end of each scan's header to the marker
    // that ends its data, stuffed zero bytes and restart markers among them.
    uint64_t dataBytes;
};
ZQI_JPEGScanWork ZQI_JPEGWorkOfScans(const jpeg_decompress_struct& info, uint64_t mostSteps);

// libjpeg's arithmetic decoder spends a binary decision on each coefficient position it passes and
// up to about thirty on a value's magnitude. The statistics it learns make such decisions cost no
// data once learnt, and past the end of a scan's data it goes on deciding from zero bits, so a few
// bytes may make every block of a large image as costly as its largest values allow (about 10 us
// a block), whatever the scans' headers say. This work is counted from the coefficients that each
// scan leaves, from above (about 5 ns a decision at the costliest here), and bounded by what the
// file pays for: an allowance that every file has, about twice what the flattest images at the
// largest size take, and a number of decisions for each bit of entropy-coded data it holds, above
// what valid files of any content and encoder option take for a bit (bench_graphics_jpeg_decisions
// measures them). Decoding then costs a few seconds at most beside a time in proportion to the
// file's bytes, which valid files spend too.
struct ZQI_JPEGDecisionLimit {
    uint64_t allowance;
    uint64_t perDataBit;
};
const ZQI_JPEGDecisionLimit ZQI_JPEG_DECISION_LIMIT = {uint64_t(1) << 30, 32};
// The most decisions the limit lets a file of dataBytes of entropy-coded data take (at most
// UINT64_MAX).
uint64_t ZQI_JPEGMostDecisions(const ZQI_JPEGDecisionLimit& limit, uint64_t dataBytes);

// The decisions for a block that the current scan (band Ss..Se, approximation Ah and Al,
// progressive or not) has just decoded.
uint64_t ZQI_JPEGArithmeticDecisions(const JCOEF* block, bool progressive, int Ss, int Se, int Ah, int Al);
// The same for rowCount rows of blocksPerRow blocks.
uint64_t ZQI_JPEGArithmeticDecisionsOfRows(JBLOCKARRAY rows, int rowCount, JDIMENSION blocksPerRow, bool progressive,
                                           int Ss, int Se, int Ah, int Al);
// A first AC scan of band Ss..Se decoded without its point transform (see ImageJPEG.cpp), on a row
// of count blocks. When the band may hold values of earlier scans, each block is copied to aside
// and its band cleared before the scan decodes it, so that it then shows only the values decoded
// (never 0 without the point transform). After, the decisions of those values are counted, each
// is shifted left by Al and kept in 16 bits as libjpeg keeps it, and each position the scan left
// holds again what it held (aside is null when the band held nothing).
void ZQI_JPEGSetBandsAside(JBLOCKROW blocks, JBLOCKROW aside, JDIMENSION count, int Ss, int Se);
uint64_t ZQI_JPEGCountAndShiftBands(JBLOCKROW blocks, JBLOCKROW aside, JDIMENSION count, int Ss, int Se, int Al);
// The decisions of the current scan that its blocks do not show: in each restart interval the
// decoder may pass every position of one block's band without finding a value, or read a
// magnitude too large to keep, and it then decodes nothing more up to the next interval.
uint64_t ZQI_JPEGArithmeticScanDecisions(const jpeg_decompress_struct& info);

// What the reader counted of a file: its scans' steps and entropy-coded bytes, and the arithmetic
// decoder's decisions (0 for Huffman codes) up to where it stopped.
struct ZQI_JPEGCounted {
    uint64_t steps;
    uint64_t dataBytes;
    uint64_t decisions;
};
struct zq_bitmap_t;
// ReadJPEG under the given decision limit, telling what it counted when counted is given. Tests
// try the limit's edges on small files with a smaller allowance; ReadJPEG is this with
// ZQI_JPEG_DECISION_LIMIT.
bool ZQI_ReadJPEGWithin(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size,
                        const ZQI_JPEGDecisionLimit& limit, ZQI_JPEGCounted* counted);
