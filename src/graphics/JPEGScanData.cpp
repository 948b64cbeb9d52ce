// A JPEG's scans read from its bytes (see JPEGScanData.h): the markers walked as libjpeg reads
// them, nothing decoded.
#include "graphics/JPEGScanData.h"

#include <cstring>

namespace {

const int kStartOfImage = 0xD8;
const int kStartOfScan = 0xDA;

bool IsRestartMarker(int code) {
    return code >= JPEG_RST0 && code <= JPEG_RST0 + 7;
}

// Markers that libjpeg reads with a segment length after them. The others it takes alone: start
// and end of image and restart markers; the reserved codes below 0xC0 are either an error or, met
// while libjpeg looks for a restart marker, passed over without a length.
bool HasLength(int code) {
    return code >= 0xC0 && code != JPEG_EOI && code != kStartOfImage && !IsRestartMarker(code);
}

// Where the code of the next marker at or after at stands (after its 0xFF and any fill bytes),
// passing over entropy-coded data, its stuffed zero bytes and restart markers; size when none.
// libjpeg finds the end of a scan's data the same way, whether its decoder stops there or skips
// what it did not need.
size_t NextMarkerCode(const uint8_t* bytes, size_t size, size_t at) {
    while (at < size) {
        const void* found = memchr(bytes + at, 0xFF, size - at);
        if (found == nullptr) {
            return size;
        }
        size_t code = size_t(static_cast<const uint8_t*>(found) - bytes) + 1;
        while (code < size && bytes[code] == 0xFF) {
            ++code;
        }
        if (code < size && bytes[code] != 0 && !IsRestartMarker(bytes[code])) {
            return code;
        }
        at = code + 1;
    }
    return size;
}

uint64_t DivideRoundingUp(uint64_t value, uint64_t divisor) {
    return (value + divisor - 1) / divisor;
}

// A scan of the given components and band. A scan of one component decodes its blocks; one of
// several decodes whole MCUs, the blocks past the image's edges among them.
uint64_t StepsOfScan(const jpeg_decompress_struct& info, const jpeg_component_info* const* components,
                     int count, int Ss, int Se, int Ah) {
    // A sequential scan decodes all 64 coefficients whatever its header says; a progressive
    // scan with a band out of order is an error of libjpeg's, counted as the widest. The
    // arithmetic decoder starts each block of an AC refinement by reading it back from the band's
    // end to the last value earlier scans left, up to the block's first AC position.
    const bool ordered = info.progressive_mode && Ss <= Se && Se < DCTSIZE2;
    const bool readsBack = ordered && info.arith_code && Ss > 0 && Ah != 0;
    const uint64_t band = readsBack ? uint64_t(Se) : ordered ? uint64_t(Se - Ss + 1) : DCTSIZE2;
    uint64_t blocks = 0;
    if (count == 1) {
        blocks = uint64_t(components[0]->width_in_blocks) * components[0]->height_in_blocks;
    } else if (count > 1) {
        uint64_t blocksOfMCU = 0;
        for (int i = 0; i < count; ++i) {
            blocksOfMCU += uint64_t(components[i]->h_samp_factor) * components[i]->v_samp_factor;
        }
        blocks = DivideRoundingUp(info.image_width, uint64_t(info.max_h_samp_factor) * DCTSIZE) *
                 DivideRoundingUp(info.image_height, uint64_t(info.max_v_samp_factor) * DCTSIZE) *
                 blocksOfMCU;
    }
    return ZQI_JPEG_SCAN_STEPS + blocks * (ZQI_JPEG_BLOCK_STEPS + band);
}

// The blocks a component adds to a scan: all of its own in a scan of it alone, its share of
// each MCU in a scan of several.
uint64_t BlocksOfComponent(const jpeg_component_info& component, bool interleaved) {
    return interleaved ? uint64_t(component.h_samp_factor) * component.v_samp_factor
                       : uint64_t(component.width_in_blocks) * component.height_in_blocks;
}

// The frame's component that a scan's selector names. Several components may share an id, and
// libjpeg then takes another of them for each place in the scan: the one adding the most blocks
// is counted.
const jpeg_component_info* ComponentOfSelector(const jpeg_decompress_struct& info, int id, bool interleaved) {
    const jpeg_component_info* costliest = nullptr;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        if (component.component_id == id &&
            (costliest == nullptr ||
             BlocksOfComponent(component, interleaved) > BlocksOfComponent(*costliest, interleaved))) {
            costliest = &component;
        }
    }
    return costliest;
}

// A scan header's fields after its length: the component count, a selector and table byte for
// each component, Ss, Se and the approximation byte. A header libjpeg refuses counts its scan alone;
// a component the frame lacks (libjpeg's error too) adds nothing.
uint64_t StepsOfScanHeader(const jpeg_decompress_struct& info, const uint8_t* header, size_t length) {
    const int count = length >= 1 ? header[0] : 0;
    if (count < 1 || count > MAX_COMPS_IN_SCAN || length < size_t(1 + 2 * count + 3)) {
        return ZQI_JPEG_SCAN_STEPS;
    }
    const jpeg_component_info* components[MAX_COMPS_IN_SCAN];
    int found = 0;
    for (int i = 0; i < count; ++i) {
        const jpeg_component_info* component = ComponentOfSelector(info, header[1 + 2 * i], count > 1);
        if (component != nullptr) {
            components[found++] = component;
        }
    }
    return StepsOfScan(info, components, found, header[1 + 2 * count], header[2 + 2 * count],
                       header[3 + 2 * count] >> 4);
}

// The costliest scan the frame allows: all components, all coefficients.
uint64_t StepsOfWidestScan(const jpeg_decompress_struct& info) {
    const jpeg_component_info* components[MAX_COMPONENTS];
    for (int c = 0; c < info.num_components && c < MAX_COMPONENTS; ++c) {
        components[c] = &info.comp_info[c];
    }
    return StepsOfScan(info, components, info.num_components, 0, DCTSIZE2 - 1, 0);
}

}  // namespace

uint64_t ZQI_JPEGScanDataBytes(const uint8_t* bytes, size_t size, bool hasRestarts) {
    uint64_t count = 0;
    size_t at = 0;
    while (at < size) {
        if (bytes[at] != 0xFF) {
            ++count;
            ++at;
            continue;
        }
        size_t next = at + 1;
        while (next < size && bytes[next] == 0xFF) {
            ++next;
        }
        if (next == size) {
            break;
        }
        if (bytes[next] == 0) {
            ++count;  // 0xFF 0x00 is a data byte of 0xFF
        } else if (!hasRestarts || !IsRestartMarker(bytes[next])) {
            break;
        }
        at = next + 1;
    }
    return count;
}

ZQI_JPEGScanWork ZQI_JPEGWorkOfScans(const jpeg_decompress_struct& info, uint64_t mostSteps) {
    const uint8_t* bytes = info.src->next_input_byte;
    const size_t size = info.src->bytes_in_buffer;
    ZQI_JPEGScanWork work = {StepsOfScan(info, info.cur_comp_info, info.comps_in_scan, info.Ss, info.Se, info.Ah), 0};
    size_t at = 0;
    size_t scanData = 0;  // where the data of the scan whose header came last starts, or SIZE_MAX
    while (work.steps <= mostSteps) {
        const size_t code = NextMarkerCode(bytes, size, at);
        if (scanData != SIZE_MAX) {
            // Up to the marker's 0xFF (code is size when the bytes end inside the data).
            work.dataBytes += (code < size ? code - 1 : size) - scanData;
            scanData = SIZE_MAX;
        }
        if (code == size || bytes[code] == JPEG_EOI) {
            break;
        }
        if (!HasLength(bytes[code])) {
            at = code + 1;
            continue;
        }
        const size_t left = size - code - 1;
        const size_t length = left >= 2 ? size_t(bytes[code + 1]) << 8 | bytes[code + 2] : SIZE_MAX;
        if (length > left) {
            // libjpeg reads on into the end-of-image markers the source hands out after the data:
            // a scan header cut here may still start one scan, which is counted as the costliest.
            if (bytes[code] == kStartOfScan) {
                work.steps += StepsOfWidestScan(info);
            }
            break;
        }
        if (bytes[code] == kStartOfScan && length >= 2) {
            work.steps += StepsOfScanHeader(info, bytes + code + 3, length - 2);
            scanData = code + 1 + length;
        }
        at = code + 1 + (length < 2 ? 2 : length);
    }
    return work;
}

namespace {

// The position in a band (the zigzag order of the file) of each coefficient of a block.
constexpr unsigned char kZigzagOf[DCTSIZE2] = {
    0,  1,  5,  6,  14, 15, 27, 28, 2,  4,  7,  13, 16, 26, 29, 42, 3,  8,  12, 17, 25, 30,
    41, 43, 9,  11, 18, 24, 31, 40, 44, 53, 10, 19, 23, 32, 39, 45, 52, 54, 20, 22, 33, 38,
    46, 51, 55, 60, 21, 34, 37, 47, 50, 56, 59, 61, 35, 36, 48, 49, 57, 58, 62, 63};

// The natural position of each position of the zigzag order.
struct NaturalOrder {
    unsigned char of[DCTSIZE2];
    constexpr NaturalOrder() : of() {
        for (int n = 0; n < DCTSIZE2; ++n) {
            of[kZigzagOf[n]] = static_cast<unsigned char>(n);
        }
    }
};
constexpr NaturalOrder kNatural;

// Bands wider than this are first checked for a block without AC values, at once.
const int kNarrowBand = 16;

int BitLength(unsigned value) {
    int length = 0;
    for (; value != 0; value >>= 1) {
        ++length;
    }
    return length;
}

unsigned MagnitudeOf(JCOEF coefficient, int Al) {
    const int value = coefficient < 0 ? -int(coefficient) : int(coefficient);
    return unsigned(value) >> Al;
}

// The values of a band that are not zero: how many, the position of the last one (Ss - 1 for
// none) and the decisions of each one's run end, sign, magnitude (at most two for each bit) and
// the end-of-block decision after it.
struct BandValues {
    uint64_t count;
    int last;
    uint64_t decisions;
};

bool HasACValues(const JCOEF* block) {
    static const JCOEF kNoACValues[DCTSIZE2 - 1] = {};
    return memcmp(block + 1, kNoACValues, sizeof(kNoACValues)) != 0;
}

// The natural positions of a band's coefficients, in positions; how many.
int PositionsOfBand(int Ss, int Se, int* positions) {
    int size = 0;
    for (int n = 0; n < DCTSIZE2; ++n) {
        if (kZigzagOf[n] >= Ss && kZigzagOf[n] <= Se) {
            positions[size++] = n;
        }
    }
    return size;
}

void AddValue(BandValues* values, JCOEF value, int k, int Al) {
    ++values->count;
    values->last = k > values->last ? k : values->last;
    values->decisions += 3 + 2 * uint64_t(BitLength(MagnitudeOf(value, Al)));
}

// A band is read position by position, so that its cost stays that of the band whatever the rest
// of the block holds (blocks often hold the values of other bands, which a reading of the whole
// block would pay for at every scan). Most blocks of most images hold no AC value: a wide band of
// such a block is passed at once.
BandValues ValuesOfBand(const JCOEF* block, int Ss, int Se, int Al) {
    BandValues values = {0, Ss - 1, 0};
    if (Se - Ss >= kNarrowBand && !HasACValues(block)) {
        return values;
    }
    for (int k = Ss; k <= Se; ++k) {
        const JCOEF value = block[kNatural.of[k]];
        if (value != 0) {
            AddValue(&values, value, k, Al);
        }
    }
    return values;
}

// First AC values of a band: a decision for each position passed up to the last value that is
// not zero and an end-of-block decision, beside those of the values.
uint64_t DecisionsOfFirstAC(const JCOEF* block, int Ss, int Se, int Al) {
    const BandValues values = ValuesOfBand(block, Ss, Se, Al);
    return uint64_t(values.last - Ss + 1) + 1 + values.decisions;
}

// A refinement of AC values: a correction or a newly-nonzero decision at each position up to the
// last value that is not zero, a sign for each value that becomes so, and an end-of-block
// decision before each run of positions that ends in a value and after the last one. Values only
// become nonzero, so those of the band afterwards bound both the signs and the runs.
uint64_t DecisionsOfRefinedAC(const JCOEF* block, int Ss, int Se) {
    const BandValues values = ValuesOfBand(block, Ss, Se, 0);
    return uint64_t(values.last - Ss + 1) + 2 * values.count + 1;
}

// A first DC value: whether its difference is zero, its sign and at most two decisions for each
// of the sixteen bits its magnitude may have. The difference itself is not kept, and the high
// bits of the value are lost when the scan holds back low ones, so every block is counted so.
const uint64_t kDecisionsOfFirstDC = 2 + 2 * 16;

}  // namespace

uint64_t ZQI_JPEGArithmeticDecisions(const JCOEF* block, bool progressive, int Ss, int Se, int Ah, int Al) {
    if (!progressive) {
        return kDecisionsOfFirstDC + DecisionsOfFirstAC(block, 1, DCTSIZE2 - 1, 0);
    }
    if (Ss < 0 || Se >= DCTSIZE2 || Ss > Se || Al < 0 || Al > 15) {
        return 0;  // libjpeg refuses such a scan before decoding it
    }
    if (Ss == 0) {
        return Ah == 0 ? kDecisionsOfFirstDC : 1;
    }
    return Ah == 0 ? DecisionsOfFirstAC(block, Ss, Se, Al) : DecisionsOfRefinedAC(block, Ss, Se);
}

uint64_t ZQI_JPEGArithmeticDecisionsOfRows(JBLOCKARRAY rows, int rowCount, JDIMENSION blocksPerRow, bool progressive,
                                           int Ss, int Se, int Ah, int Al) {
    // DC scans cost the same for every block: counted without reading them.
    if (progressive && Ss == 0) {
        return uint64_t(rowCount) * blocksPerRow * ZQI_JPEGArithmeticDecisions(rows[0][0], progressive, Ss, Se, Ah, Al);
    }
    uint64_t decisions = 0;
    for (int y = 0; y < rowCount; ++y) {
        for (JDIMENSION x = 0; x < blocksPerRow; ++x) {
            decisions += ZQI_JPEGArithmeticDecisions(rows[y][x], progressive, Ss, Se, Ah, Al);
        }
    }
    return decisions;
}

void ZQI_JPEGSetBandsAside(JBLOCKROW blocks, JBLOCKROW aside, JDIMENSION count, int Ss, int Se) {
    memcpy(aside, blocks, sizeof(JBLOCK) * count);
    int positions[DCTSIZE2];
    const int size = PositionsOfBand(Ss, Se, positions);
    for (JDIMENSION x = 0; x < count; ++x) {
        if (!HasACValues(blocks[x])) {
            continue;
        }
        for (int i = 0; i < size; ++i) {
            blocks[x][positions[i]] = 0;
        }
    }
}

uint64_t ZQI_JPEGCountAndShiftBands(JBLOCKROW blocks, JBLOCKROW aside, JDIMENSION count, int Ss, int Se, int Al) {
    int positions[DCTSIZE2];
    const int size = PositionsOfBand(Ss, Se, positions);
    uint64_t decisions = 0;
    for (JDIMENSION x = 0; x < count; ++x) {
        decisions += DecisionsOfFirstAC(blocks[x], Ss, Se, 0);
        if (!HasACValues(blocks[x]) && (aside == nullptr || !HasACValues(aside[x]))) {
            continue;
        }
        for (int i = 0; i < size; ++i) {
            JCOEF& value = blocks[x][positions[i]];
            const JCOEF before = aside != nullptr ? aside[x][positions[i]] : 0;
            // As libjpeg keeps a value: (JCOEF)((unsigned)v << Al).
            value = value != 0 ? JCOEF(unsigned(value) << Al) : before;
        }
    }
    return decisions;
}

uint64_t ZQI_JPEGArithmeticScanDecisions(const jpeg_decompress_struct& info) {
    const uint64_t band = info.progressive_mode && info.Ss <= info.Se ? uint64_t(info.Se - info.Ss + 1) : DCTSIZE2;
    const uint64_t MCUs = uint64_t(info.MCUs_per_row) * info.MCU_rows_in_scan;
    const uint64_t intervals = info.restart_interval != 0 ? DivideRoundingUp(MCUs, info.restart_interval) : 1;
    return (band + kDecisionsOfFirstDC) * intervals;
}

uint64_t ZQI_JPEGMostDecisions(const ZQI_JPEGDecisionLimit& limit, uint64_t dataBytes) {
    const uint64_t perByte = limit.perDataBit * 8;
    if (perByte != 0 && dataBytes > (UINT64_MAX - limit.allowance) / perByte) {
        return UINT64_MAX;
    }
    return limit.allowance + perByte * dataBytes;
}
