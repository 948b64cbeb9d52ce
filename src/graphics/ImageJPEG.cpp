// JPEG through libjpeg(-turbo): decoding from memory with a source manager of our own (the data
// ends with an end-of-image marker whatever the file holds) and encoding RGB rows to a file.
//
// libjpeg reports errors by longjmp back to the setjmp of the decoding function, so those functions
// keep every object with a destructor outside: their state lives in plain records of the caller.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "core/ApiTable.h"
#include "graphics/BitmapTable.h"
#include "graphics/ImageLoader.h"
#include "graphics/JPEGScanData.h"

namespace {

// The end-of-image marker handed out once the data is used up.
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
// Room for the reason a decode stopped, a library message among it.
const size_t kReasonLength = JMSG_LENGTH_MAX + 64;

struct JPEGErrors {
    jpeg_error_mgr base;
    jmp_buf jump;
    int warnings;
    // While pixels are decoded, data that ends before the last row is an error: libjpeg only warns
    // and goes on decoding zeros to the last row.
    bool truncationIsError;
    // Why the engine stopped the decode (empty for the library's own errors).
    char stopped[kReasonLength];
};

JPEGErrors* ErrorsOf(j_common_ptr info) {
    return reinterpret_cast<JPEGErrors*>(info->err);
}

void OnJPEGError(j_common_ptr info) {
    longjmp(ErrorsOf(info)->jump, 1);
}

bool IsRestartMarker(int code) {
    return code >= JPEG_RST0 && code <= JPEG_RST0 + 7;
}

// Whether a warning of the library means that a scan's data ended before its last row.
bool EndsBeforeItsLastRow(j_common_ptr common) {
    if (!common->is_decompressor) {
        return false;
    }
    const j_decompress_ptr info = reinterpret_cast<j_decompress_ptr>(common);
    switch (common->err->msg_code) {
    case JWRN_HIT_MARKER:
        // Huffman-coded data needed bits past the marker that ends it, whichever marker that is: a
        // whole file never does, restart markers included.
        return true;
    case JWRN_MUST_RESYNC:
        // A restart marker was due and another marker stands there: the scan's data has ended.
        return !IsRestartMarker(common->err->msg_parm.i[0]);
    case JWRN_JPEG_EOF:
        // Arithmetic-coded data may end at any marker by right (its encoder leaves out trailing
        // zero bytes, and zeros are decoded from the marker on), so libjpeg never warns there; what
        // shows it cut is the file's bytes ending before a scan's last row of blocks. In that row
        // they end by right when the file lacks only its end marker: the decoder reads ahead of
        // what it decodes, past the end of a whole file.
        return info->arith_code && info->input_iMCU_row + 1 < info->total_iMCU_rows;
    default:
        return false;
    }
}

// Level -1 is a warning (corrupt data, premature end); higher levels are trace messages.
void OnJPEGMessage(j_common_ptr info, int level) {
    JPEGErrors* errors = ErrorsOf(info);
    if (level >= 0) {
        return;
    }
    if (errors->truncationIsError && EndsBeforeItsLastRow(info)) {
        char text[JMSG_LENGTH_MAX];
        info->err->format_message(info, text);
        snprintf(errors->stopped, sizeof(errors->stopped), "ends before its last row (%s)", text);
        longjmp(errors->jump, 1);
    }
    ++errors->warnings;
}

uint64_t BlocksOfScan(const jpeg_decompress_struct& info) {
    uint64_t blocks = 0;
    for (int i = 0; i < info.comps_in_scan; ++i) {
        blocks += uint64_t(info.cur_comp_info[i]->width_in_blocks) * info.cur_comp_info[i]->height_in_blocks;
    }
    return blocks;
}

void InstallErrors(JPEGErrors* errors) {
    jpeg_std_error(&errors->base);
    errors->base.error_exit = OnJPEGError;
    errors->base.emit_message = OnJPEGMessage;
    errors->warnings = 0;
    errors->truncationIsError = false;
    errors->stopped[0] = '\0';
}

// ---- The in-memory source: the whole buffer at once, then end-of-image markers -----------------

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr info) {
    WARNMS(info, JWRN_JPEG_EOF);
    info->src->next_input_byte = kEndOfImage;
    info->src->bytes_in_buffer = sizeof(kEndOfImage);
    return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count) {
    if (count <= 0) {
        return;
    }
    jpeg_source_mgr* source = info->src;
    if (static_cast<size_t>(count) > source->bytes_in_buffer) {
        FillInputBuffer(info);
        return;
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

// jpeg_create_decompress clears the source pointer, so this comes after it.
void SetMemorySource(jpeg_decompress_struct* info, jpeg_source_mgr* source, const uint8_t* bytes,
                     uint64_t size) {
    source->init_source = InitSource;
    source->fill_input_buffer = FillInputBuffer;
    source->skip_input_data = SkipInputData;
    source->resync_to_restart = jpeg_resync_to_restart;
    source->term_source = TermSource;
    source->next_input_byte = bytes;
    source->bytes_in_buffer = static_cast<size_t>(size);
    info->src = source;
}

// Why a decode stopped early; a library error is reported by the caller.
enum JPEGFailure { JPEG_LIBRARY_ERROR = 0, JPEG_SIZE_REFUSED, JPEG_OUT_OF_MEMORY };

// libjpeg's coefficients, one array a component, caught as its coefficient controller asks the
// memory manager for them (in the order of the frame's components). A file of several scans
// keeps them for the whole image, as libjpeg must. A file of one scan has each iMCU row decoded
// just before its pixels: its arrays are strips of one iMCU row, given out by the access method
// here, so that it takes no more memory than libjpeg's own decoding of such a file does.
struct CoefficientArrays {
    jvirt_barray_ptr (*request)(j_common_ptr, int, boolean, JDIMENSION, JDIMENSION, JDIMENSION);
    JBLOCKARRAY (*access)(j_common_ptr, jvirt_barray_ptr, JDIMENSION, JDIMENSION, boolean);
    jvirt_barray_ptr arrays[MAX_COMPONENTS];
    JDIMENSION blocksPerRow[MAX_COMPONENTS];
    int count;
    bool strips;
    JBLOCKARRAY strip[MAX_COMPONENTS];       // the block rows of one iMCU row
    JDIMENSION rowsOfStrip[MAX_COMPONENTS];  // the component's vertical sampling factor
    JDIMENSION heldRow[MAX_COMPONENTS];      // the iMCU row it holds, if filled
    bool filled[MAX_COMPONENTS];
    bool counted[MAX_COMPONENTS];  // whether the decisions of the row it holds are counted
    // The AC positions (bit k for the k-th of the zigzag order) that scans have decoded so far.
    uint64_t decodedAC[MAX_COMPONENTS];
    // What a first AC scan's band held in the iMCU row it decodes, when earlier scans decoded
    // some of its positions (see DecodeRowUnshifted).
    JBLOCKARRAY aside;
};

struct JPEGDecode {
    jpeg_decompress_struct info;  // first: libjpeg's callbacks find the record through it
    jpeg_source_mgr source;
    JPEGErrors errors;
    CoefficientArrays coefficients;
    ZQI_JPEGDecisionLimit limit;
    uint64_t mostDecisions;  // that the limit lets the file's data take
    ZQI_JPEGCounted counted;
    const uint8_t* bytes;
    uint64_t size;
    zq_bitmap_t* bitmap;
    bool headerOnly;
    JPEGFailure failure;
};

const char* NameOf(const zq_bitmap_t* bitmap) {
    return bitmap->name != nullptr ? bitmap->name : "NULL";
}

// The rows straight into the pixel buffer as RGBA when the library can (libjpeg-turbo's extended
// colour spaces); otherwise as RGB spread out afterwards.
#ifdef JCS_EXTENSIONS
const J_COLOR_SPACE kOutputSpace = JCS_EXT_RGBA;
const int kOutputComponents = 4;
#else
const J_COLOR_SPACE kOutputSpace = JCS_RGB;
const int kOutputComponents = 3;
#endif

void SpreadRGBRow(uint8_t* row, JDIMENSION width) {
    for (JDIMENSION x = width; x-- > 0;) {
        row[x * 4 + 3] = 255;
        row[x * 4 + 2] = row[x * 3 + 2];
        row[x * 4 + 1] = row[x * 3 + 1];
        row[x * 4 + 0] = row[x * 3 + 0];
    }
}

// Huffman data spends at least one code of one bit or more on each block of a DC scan, and
// sequential data two (a DC difference and the end of the AC coefficients), so a few bytes cannot
// stand for the largest image: refused before its pixels, and for progressive files libjpeg's own
// whole-image coefficient buffer, are allocated. Only the first scan's entropy-coded bytes count:
// comments, padding and bytes after the end marker stand for no block. The first scan of a
// progressive file is its DC scan (libjpeg only warns when it is not; such a file is refused by
// the caller). Arithmetic-coded data spends next to nothing on what its statistics predict
// (libjpeg codes a flat 16384 x 16384 image in a few hundred bytes), so no floor holds for it:
// the budget on decoding work bounds what its few bytes may cost.
bool DataCanFillImage(const jpeg_decompress_struct& info) {
    if (info.arith_code) {
        return true;
    }
    const uint64_t bitsPerBlock = info.progressive_mode ? 1 : 2;
    const uint64_t bytes = ZQI_JPEGScanDataBytes(info.src->next_input_byte, info.src->bytes_in_buffer,
                                                 info.restart_interval != 0);
    return BlocksOfScan(info) * bitsPerBlock <= bytes * 8;
}

// A progressive file whose first scan carries AC coefficients breaks the order every encoder
// keeps; it would escape the floor above.
bool StartsWithDCScan(const jpeg_decompress_struct& info) {
    return !info.progressive_mode || info.arith_code || info.Ss == 0;
}

JPEGDecode* DecodeOf(j_common_ptr common) {
    return reinterpret_cast<JPEGDecode*>(common);
}

// Adds decisions of the arithmetic decoder; false (logged) once they pass what the file may take.
bool CountDecisions(JPEGDecode* decode, uint64_t decisions) {
    decode->counted.decisions += decisions;
    if (decode->counted.decisions <= decode->mostDecisions) {
        return true;
    }
    ZQ_Log(2,
           "ReadJPEG: the arithmetic-coded data of '%s' takes more than the %llu decisions its %llu bytes "
           "allow.",
           NameOf(decode->bitmap), static_cast<unsigned long long>(decode->mostDecisions),
           static_cast<unsigned long long>(decode->counted.dataBytes));
    decode->failure = JPEG_SIZE_REFUSED;
    return false;
}

// The decisions of rows of blocks that the current scan has just decoded.
uint64_t DecisionsOfBlocks(const jpeg_decompress_struct& info, JBLOCKARRAY blocks, JDIMENSION rows,
                           JDIMENSION blocksPerRow) {
    return ZQI_JPEGArithmeticDecisionsOfRows(blocks, int(rows), blocksPerRow, info.progressive_mode != FALSE,
                                             info.Ss, info.Se, info.Ah, info.Al);
}

int StripOf(const CoefficientArrays& caught, jvirt_barray_ptr array) {
    for (int i = 0; caught.strips && i < caught.count && i < MAX_COMPONENTS; ++i) {
        if (array == caught.arrays[i]) {
            return i;
        }
    }
    return -1;
}

// Counts the row a strip holds unless it is counted; false past the limit.
bool CountStrip(JPEGDecode* decode, int i) {
    CoefficientArrays& caught = decode->coefficients;
    if (!caught.filled[i] || caught.counted[i]) {
        return true;
    }
    caught.counted[i] = true;
    return CountDecisions(decode, DecisionsOfBlocks(decode->info, caught.strip[i], caught.rowsOfStrip[i],
                                                    caught.blocksPerRow[i]));
}

jvirt_barray_ptr RequestCoefficients(j_common_ptr common, int pool, boolean preZero, JDIMENSION blocksPerRow,
                                     JDIMENSION rows, JDIMENSION rowsAtOnce) {
    CoefficientArrays& caught = DecodeOf(common)->coefficients;
    const int i = caught.count++;
    if (i >= MAX_COMPONENTS) {
        return caught.request(common, pool, preZero, blocksPerRow, rows, rowsAtOnce);
    }
    caught.blocksPerRow[i] = blocksPerRow;
    if (!caught.strips) {
        caught.arrays[i] = caught.request(common, pool, preZero, blocksPerRow, rows, rowsAtOnce);
    } else {
        // Not libjpeg's kind of array: only the access method here reads it, by its address.
        caught.strip[i] = common->mem->alloc_barray(common, JPOOL_IMAGE, blocksPerRow, rowsAtOnce);
        caught.rowsOfStrip[i] = rowsAtOnce;
        caught.arrays[i] = reinterpret_cast<jvirt_barray_ptr>(&caught.strip[i]);
    }
    return caught.arrays[i];
}

// libjpeg's coefficient controller fills a file's one scan an iMCU row at a time, and turns each
// row into pixels once the scan has decoded it (its input side at most that row ahead of its
// output side). A row is counted when its pixels are first asked for, before any of them is
// made, or before the next row takes its place. Any other order is refused, not misread.
JBLOCKARRAY AccessCoefficients(j_common_ptr common, jvirt_barray_ptr array, JDIMENSION startRow,
                               JDIMENSION rows, boolean writable) {
    JPEGDecode* decode = DecodeOf(common);
    CoefficientArrays& caught = decode->coefficients;
    const int i = StripOf(caught, array);
    if (i < 0) {
        return caught.access(common, array, startRow, rows, writable);
    }
    const JDIMENSION row = startRow / caught.rowsOfStrip[i];
    const bool held = caught.filled[i] && caught.heldRow[i] == row;
    if (startRow % caught.rowsOfStrip[i] != 0 || rows > caught.rowsOfStrip[i] || (!writable && !held)) {
        ZQ_Log(2, "ReadJPEG: the coefficients of '%s' could not be counted.", NameOf(decode->bitmap));
        decode->failure = JPEG_SIZE_REFUSED;
        longjmp(decode->errors.jump, 1);
    }
    // The row held is whole once its pixels are asked for or the next row is to be decoded.
    if ((!writable || !held) && !CountStrip(decode, i)) {
        longjmp(decode->errors.jump, 1);
    }
    if (writable && !held) {
        for (JDIMENSION y = 0; y < caught.rowsOfStrip[i]; ++y) {
            memset(caught.strip[i][y], 0, sizeof(JBLOCK) * caught.blocksPerRow[i]);
        }
        caught.heldRow[i] = row;
        caught.filled[i] = true;
        caught.counted[i] = false;
    }
    return caught.strip[i];
}

// An arithmetic-coded file is decoded in libjpeg's buffered-image mode, its coefficients caught
// so that the decisions of each scan can be counted from what it leaves in them.
void CatchCoefficients(JPEGDecode* decode, bool strips) {
    jpeg_memory_mgr* memory = decode->info.mem;
    decode->coefficients.request = memory->request_virt_barray;
    decode->coefficients.access = memory->access_virt_barray;
    decode->coefficients.strips = strips;
    memory->request_virt_barray = RequestCoefficients;
    memory->access_virt_barray = AccessCoefficients;
    decode->info.buffered_image = TRUE;
}

// The blocks of a component of the current scan in an iMCU row, as libjpeg keeps them.
JBLOCKARRAY BlocksOfRow(JPEGDecode* decode, const jpeg_component_info& component, JDIMENSION row,
                        bool writable) {
    const JDIMENSION rows = JDIMENSION(component.v_samp_factor);
    return decode->info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&decode->info),
                                                decode->coefficients.arrays[component.component_index], row * rows,
                                                rows, writable ? TRUE : FALSE);
}

// The arithmetic decoder's decisions for the row of iMCUs that the current scan has just decoded.
uint64_t DecisionsOfRow(JPEGDecode* decode, JDIMENSION row) {
    jpeg_decompress_struct& info = decode->info;
    uint64_t decisions = 0;
    for (int i = 0; i < info.comps_in_scan; ++i) {
        const jpeg_component_info& component = *info.cur_comp_info[i];
        decisions += ZQI_JPEGArithmeticDecisionsOfRows(
            BlocksOfRow(decode, component, row, false), component.v_samp_factor,
            decode->coefficients.blocksPerRow[component.component_index], info.progressive_mode != FALSE, info.Ss,
            info.Se, info.Ah, info.Al);
    }
    return decisions;
}

// A first AC scan keeps each value v as (JCOEF)(v << Al): 16 bits, which lose the high bits of a
// value past 2^(15 - Al), or all of them, while the decoder took the decisions of the whole value.
// Such a scan is decoded without its point transform, an iMCU row at a time, and each row's
// values are counted as decoded, then shifted as libjpeg would have kept them.
bool KeepsShiftedValues(const jpeg_decompress_struct& info) {
    return info.progressive_mode && info.Ss > 0 && info.Ah == 0 && info.Al > 0;
}

// Whether a scan starting now decodes AC positions that earlier scans decoded (libjpeg takes such
// a scan, with at most a warning); its positions are then marked decoded.
bool DecodesACAgain(JPEGDecode* decode) {
    jpeg_decompress_struct& info = decode->info;
    const uint64_t band = info.Ss > 0 && info.Ss <= info.Se && info.Se < DCTSIZE2
                              ? ((~uint64_t(0) >> (DCTSIZE2 - 1 - info.Se)) & (~uint64_t(0) << info.Ss))
                              : 0;
    bool again = false;
    for (int i = 0; i < info.comps_in_scan; ++i) {
        uint64_t& decoded = decode->coefficients.decodedAC[info.cur_comp_info[i]->component_index];
        again = again || (decoded & band) != 0;
        decoded |= band;
    }
    return again;
}

// Decodes the next iMCU row of a first AC scan without its point transform (see
// KeepsShiftedValues) and counts it into decisions; jpeg_consume_input's answer.
int DecodeRowUnshifted(JPEGDecode* decode, bool asideNeeded, uint64_t* decisions) {
    jpeg_decompress_struct& info = decode->info;
    CoefficientArrays& caught = decode->coefficients;
    const JDIMENSION row = info.input_iMCU_row;
    const jpeg_component_info& component = *info.cur_comp_info[0];  // an AC scan has one
    const JDIMENSION count = caught.blocksPerRow[component.component_index];
    if (asideNeeded && caught.aside == nullptr) {
        JDIMENSION widest = 0;
        for (int c = 0; c < caught.count && c < MAX_COMPONENTS; ++c) {
            widest = caught.blocksPerRow[c] > widest ? caught.blocksPerRow[c] : widest;
        }
        caught.aside = info.mem->alloc_barray(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, widest,
                                              JDIMENSION(info.max_v_samp_factor));
    }
    if (asideNeeded) {
        JBLOCKARRAY blocks = BlocksOfRow(decode, component, row, true);
        for (int y = 0; y < component.v_samp_factor; ++y) {
            ZQI_JPEGSetBandsAside(blocks[y], caught.aside[y], count, info.Ss, info.Se);
        }
    }
    const int pointTransform = info.Al;
    info.Al = 0;  // read by the decoder as it keeps each value
    const int consumed = jpeg_consume_input(&info);
    info.Al = pointTransform;
    *decisions = 0;
    if (consumed == JPEG_ROW_COMPLETED || consumed == JPEG_SCAN_COMPLETED) {
        JBLOCKARRAY blocks = BlocksOfRow(decode, component, row, true);
        for (int y = 0; y < component.v_samp_factor; ++y) {
            *decisions += ZQI_JPEGCountAndShiftBands(blocks[y], asideNeeded ? caught.aside[y] : nullptr, count,
                                                     info.Ss, info.Se, pointTransform);
        }
    }
    return consumed;
}

// All scans of an arithmetic-coded file of several, row by row, stopped once the decoder's
// decisions pass what the file may take; true at the end of the image.
bool ConsumeCountingDecisions(JPEGDecode* decode) {
    jpeg_decompress_struct& info = decode->info;
    if (decode->coefficients.count != info.num_components) {
        ZQ_Log(2, "ReadJPEG: the coefficients of '%s' could not be counted.", NameOf(decode->bitmap));
        return false;
    }
    // Whether the next call decodes a row of the current scan, rather than reading markers.
    bool inScan = true;
    bool scanStarts = true;
    bool asideNeeded = false;
    for (;;) {
        if (scanStarts) {
            asideNeeded = DecodesACAgain(decode);
            if (!CountDecisions(decode, ZQI_JPEGArithmeticScanDecisions(info))) {
                return false;
            }
        }
        uint64_t decisions = 0;
        int consumed = 0;
        if (inScan && KeepsShiftedValues(info)) {
            consumed = DecodeRowUnshifted(decode, asideNeeded, &decisions);
        } else {
            consumed = jpeg_consume_input(&info);
            if (consumed == JPEG_ROW_COMPLETED || consumed == JPEG_SCAN_COMPLETED) {
                decisions = DecisionsOfRow(decode, info.input_iMCU_row - 1);
            }
        }
        scanStarts = consumed == JPEG_REACHED_SOS;
        inScan = scanStarts || consumed == JPEG_ROW_COMPLETED;
        if (!CountDecisions(decode, decisions)) {
            return false;
        }
        if (consumed == JPEG_REACHED_EOI || consumed == JPEG_SUSPENDED) {
            return consumed == JPEG_REACHED_EOI;
        }
    }
}

// The part of a decode that libjpeg may leave by longjmp: no destructors in here.
bool Decode(JPEGDecode* decode) {
    if (setjmp(decode->errors.jump)) {
        return false;
    }
    jpeg_create_decompress(&decode->info);
    SetMemorySource(&decode->info, &decode->source, decode->bytes, decode->size);
    jpeg_read_header(&decode->info, TRUE);
    zq_bitmap_t* bitmap = decode->bitmap;
    const JDIMENSION width = decode->info.image_width;
    const JDIMENSION height = decode->info.image_height;
    if (!ZQI_CheckImageSize("ReadJPEG", bitmap, width, height)) {
        decode->failure = JPEG_SIZE_REFUSED;
        return false;
    }
    if (decode->headerOnly) {
        bitmap->width = static_cast<int32_t>(width);
        bitmap->height = static_cast<int32_t>(height);
        return true;
    }
    if (!StartsWithDCScan(decode->info)) {
        ZQ_Log(2, "ReadJPEG: the first scan of '%s' is not its DC scan.", NameOf(bitmap));
        decode->failure = JPEG_SIZE_REFUSED;
        return false;
    }
    if (!DataCanFillImage(decode->info)) {
        ZQ_Log(2, "ReadJPEG: the data of '%s' is shorter than its %ux%u pixels.", NameOf(bitmap), width,
               height);
        decode->failure = JPEG_SIZE_REFUSED;
        return false;
    }
    // Every scan of a file with several is decoded over the whole image before the first row
    // of pixels, however little data it holds: all of them are counted before libjpeg takes
    // its coefficients for the whole image, up to 1.5 GiB beside the pixels.
    const ZQI_JPEGScanWork work = ZQI_JPEGWorkOfScans(decode->info, ZQI_MOST_JPEG_DECODING_STEPS);
    decode->counted.steps = work.steps;
    decode->counted.dataBytes = work.dataBytes;
    if (work.steps > ZQI_MOST_JPEG_DECODING_STEPS) {
        ZQ_Log(2, "ReadJPEG: the scans of '%s' take more than %llu steps to decode.", NameOf(bitmap),
               static_cast<unsigned long long>(ZQI_MOST_JPEG_DECODING_STEPS));
        decode->failure = JPEG_SIZE_REFUSED;
        return false;
    }
    decode->mostDecisions = ZQI_JPEGMostDecisions(decode->limit, work.dataBytes);
    decode->errors.truncationIsError = true;
    decode->info.out_color_space = kOutputSpace;
    const bool arithmetic = decode->info.arith_code != FALSE;
    // libjpeg reads a second scan of a file whose first one holds every component, sequentially,
    // as an error.
    const bool oneScan =
        !decode->info.progressive_mode && decode->info.comps_in_scan == decode->info.num_components;
    if (arithmetic) {
        CatchCoefficients(decode, oneScan);
    }
    jpeg_start_decompress(&decode->info);
    if (arithmetic && oneScan) {
        if (decode->coefficients.count != decode->info.num_components) {
            ZQ_Log(2, "ReadJPEG: the coefficients of '%s' could not be counted.", NameOf(bitmap));
            decode->failure = JPEG_SIZE_REFUSED;
            return false;
        }
        if (!CountDecisions(decode, ZQI_JPEGArithmeticScanDecisions(decode->info))) {
            return false;
        }
    } else if (arithmetic && !ConsumeCountingDecisions(decode)) {
        decode->failure = JPEG_SIZE_REFUSED;
        return false;
    }
    if (arithmetic) {
        jpeg_start_output(&decode->info, decode->info.input_scan_number);
    }
    if (decode->info.output_components != kOutputComponents ||
        !ZQI_GetImageLoader()->AllocateImagePixels(bitmap, static_cast<int32_t>(width),
                                                   static_cast<int32_t>(height))) {
        decode->failure = JPEG_OUT_OF_MEMORY;
        return false;
    }
    while (decode->info.output_scanline < height) {
        JSAMPROW row = bitmap->pixels + uint64_t(decode->info.output_scanline) * uint64_t(width) * 4;
        jpeg_read_scanlines(&decode->info, &row, 1);
        if (kOutputComponents == 3) {
            SpreadRGBRow(row, width);
        }
    }
    if (arithmetic) {
        jpeg_finish_output(&decode->info);
    }
    // A strip whose row no pixel asked for (a component the output leaves out) is counted too.
    for (int i = 0; decode->coefficients.strips && i < decode->coefficients.count && i < MAX_COMPONENTS;
         ++i) {
        if (!CountStrip(decode, i)) {
            return false;
        }
    }
    jpeg_finish_decompress(&decode->info);
    return true;
}

// Allocated rather than on the stack: the decompressor record is large.
JPEGDecode* NewDecode(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size, bool headerOnly,
                      const ZQI_JPEGDecisionLimit& limit) {
    JPEGDecode* decode = static_cast<JPEGDecode*>(calloc(1, sizeof(JPEGDecode)));
    if (decode == nullptr) {
        return nullptr;
    }
    decode->info.err = &decode->errors.base;
    InstallErrors(&decode->errors);
    decode->bytes = bytes;
    decode->size = size;
    decode->bitmap = bitmap;
    decode->headerOnly = headerOnly;
    decode->limit = limit;
    return decode;
}

bool RunDecode(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size, bool headerOnly,
               const ZQI_JPEGDecisionLimit& limit = ZQI_JPEG_DECISION_LIMIT,
               ZQI_JPEGCounted* counted = nullptr) {
    JPEGDecode* decode = NewDecode(bitmap, bytes, size, headerOnly, limit);
    if (decode == nullptr) {
        ZQ_Log(2, "Load JPG - JPEG out of memory while loading file '%s'.", NameOf(bitmap));
        return false;
    }
    bool decoded = Decode(decode);
    jpeg_destroy_decompress(&decode->info);
    const int warnings = decode->errors.warnings;
    const JPEGFailure failure = decode->failure;
    char stopped[kReasonLength];
    memcpy(stopped, decode->errors.stopped, sizeof(stopped));
    if (counted != nullptr) {
        *counted = decode->counted;
    }
    free(decode);
    if (!decoded) {
        if (bitmap->pixels != nullptr) {
            ZQI_GetImageLoader()->FreeImagePixels(bitmap);
        }
        if (failure == JPEG_SIZE_REFUSED) {
            return false;  // logged by the size checks
        }
        if (stopped[0] != '\0') {
            ZQ_Log(2, "ReadJPEG: '%s' %s.", NameOf(bitmap), stopped);
        }
        if (failure == JPEG_OUT_OF_MEMORY) {
            ZQ_Log(2, "Load JPG - JPEG out of memory while loading file '%s'.", NameOf(bitmap));
        } else if (headerOnly) {
            ZQ_Popup(1, "ZQI_GetImageDimensionsJPG - setjmp failed.\n");
        } else {
            ZQ_Popup(1, "Load JPG - setjmp failed for '%s'.", NameOf(bitmap));
        }
        return false;
    }
    if (warnings > 0) {
        if (headerOnly) {
            ZQ_Log(1, "WARNING: %d warnings while loading JPEG\n", warnings);
        } else {
            ZQ_Log(1, "WARNING: %d warnings while loading JPEG '%s'.", warnings, NameOf(bitmap));
        }
    }
    return true;
}

struct JPEGEncode {
    jpeg_compress_struct info;
    JPEGErrors errors;
};

bool Encode(JPEGEncode* encode, FILE* file, const uint8_t* rgb, int32_t width, int32_t height,
            int32_t quality) {
    if (setjmp(encode->errors.jump)) {
        return false;
    }
    jpeg_create_compress(&encode->info);
    jpeg_stdio_dest(&encode->info, file);
    encode->info.image_width = static_cast<JDIMENSION>(width);
    encode->info.image_height = static_cast<JDIMENSION>(height);
    encode->info.input_components = 3;
    encode->info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encode->info);
    jpeg_set_quality(&encode->info, quality < 1 ? 1 : quality, TRUE);
    jpeg_start_compress(&encode->info, TRUE);
    while (encode->info.next_scanline < encode->info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + uint64_t(encode->info.next_scanline) * uint64_t(width) * 3);
        jpeg_write_scanlines(&encode->info, &row, 1);
    }
    jpeg_finish_compress(&encode->info);
    return true;
}

}  // namespace

bool ReadJPEG(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size) {
    return ZQI_ReadJPEGWithin(bitmap, bytes, size, ZQI_JPEG_DECISION_LIMIT, nullptr);
}

bool ZQI_ReadJPEGWithin(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size,
                        const ZQI_JPEGDecisionLimit& limit, ZQI_JPEGCounted* counted) {
    if (counted != nullptr) {
        *counted = ZQI_JPEGCounted();
    }
    if (bitmap == nullptr || bytes == nullptr) {
        return false;
    }
    if (bitmap->pixels != nullptr) {
        ZQI_GetImageLoader()->FreeImagePixels(bitmap);
    }
    bitmap->width = 0;
    bitmap->height = 0;
    bitmap->flags &= static_cast<uint8_t>(~BITMAP_FLAG_ALPHA);
    return RunDecode(bitmap, bytes, size, false, limit, counted);
}

bool ReadJPEGDimensions(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size) {
    return bitmap != nullptr && bytes != nullptr && RunDecode(bitmap, bytes, size, true);
}

bool WriteJPEG(const char* nativePath, const uint8_t* rgb, int32_t width, int32_t height, int32_t quality) {
    if (nativePath == nullptr || rgb == nullptr || width < 1 || height < 1) {
        return false;
    }
    FILE* file = fopen(nativePath, "wb");
    if (file == nullptr) {
        ZQ_Log(2, "Unable to open file '%s' for writing.", nativePath);
        return false;
    }
    JPEGEncode* encode = static_cast<JPEGEncode*>(calloc(1, sizeof(JPEGEncode)));
    bool written = false;
    if (encode != nullptr) {
        encode->info.err = &encode->errors.base;
        InstallErrors(&encode->errors);
        written = Encode(encode, file, rgb, width, height, quality);
        jpeg_destroy_compress(&encode->info);
        free(encode);
    }
    if (!written) {
        ZQ_Log(2, "WriteJPEG: unable to write '%s'.", nativePath);
    }
    return fclose(file) == 0 && written;
}
