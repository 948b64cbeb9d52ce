// What hostile and large JPEG files cost the reader: seconds and peak resident memory of ReadJPEG
// for each file, every one decoded in a process of its own so that its peak is its own. The files
// are made here with libjpeg's encoder and cut and pasted like the hostile files the reader met
// (a small image's scans claiming the largest size, copies of scans without data), and kept in
// the working folder between runs. Goals: a hostile file within 10 s and 1.5 GB whether refused
// or loaded within the budget; valid files of either coding the same; no refusal of a valid file.
//
//   bench_graphics_jpeg_work [NAME...]    all cases, or those whose names hold a NAME: a table
//   bench_graphics_jpeg_work --one FILE   one file: "loaded|refused seconds peak-bytes"
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "graphics/ImageLoader.h"
#include "graphics/JPEGScanData.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// ---- Files made with libjpeg's encoder ----------------------------------------------------------

struct Encoding {
    int width = 64, height = 64;
    int quality = 75;
    bool arithmetic = false;
    bool progressive = true;             // libjpeg's standard script unless script is given
    std::vector<jpeg_scan_info> script;  // over the three components at full resolution
    std::function<void(int y, uint8_t* rgb)> row;
};

std::string Encode(const Encoding& e) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(e.width);
    info.image_height = JDIMENSION(e.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, e.quality, TRUE);
    info.arith_code = e.arithmetic ? TRUE : FALSE;
    info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
    if (!e.script.empty()) {
        info.scan_info = e.script.data();
        info.num_scans = int(e.script.size());
    } else if (e.progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(size_t(e.width) * 3);
    while (info.next_scanline < info.image_height) {
        e.row(int(info.next_scanline), row.data());
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    free(buffer);
    return out;
}

void Flat(int width, uint8_t* rgb) {
    for (int x = 0; x < width; ++x) {
        rgb[x * 3] = 200, rgb[x * 3 + 1] = 120, rgb[x * 3 + 2] = 40;
    }
}

uint32_t Random(uint32_t* state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

// Smooth fields with some texture, as photographs and painted art code, with noise of up to plus
// or minus noise in each channel.
void Photo(int y, int width, int noise, uint8_t* rgb) {
    uint32_t state = uint32_t(y) * 2654435761u;
    for (int x = 0; x < width; ++x) {
        const int texture = ((x * 7 + y * 13) ^ (x * y)) & 15;
        const int base[3] = {x / 64 + y / 96 + texture, (x + y) / 128 * 7 + texture,
                             128 + ((x / 256) ^ (y / 256)) + texture};
        for (int c = 0; c < 3; ++c) {
            const int value =
                base[c] + (noise == 0 ? 0 : int(Random(&state) % uint32_t(2 * noise + 1)) - noise);
            rgb[x * 3 + c] = uint8_t(value < 0 ? 0 : value > 255 ? 255 : value);
        }
    }
}

// Every channel of every pixel drawn at random: the most data a bit of image can hold.
void RandomNoise(int y, int width, uint8_t* rgb) {
    uint32_t state = uint32_t(y) * 2246822519u + 1;
    for (int x = 0; x < width * 3; ++x) {
        rgb[x] = uint8_t(Random(&state));
    }
}

jpeg_scan_info Scan(std::vector<int> components, int Ss, int Se, int Ah, int Al) {
    jpeg_scan_info scan = {};
    scan.comps_in_scan = int(components.size());
    for (size_t i = 0; i < components.size(); ++i) {
        scan.component_index[i] = components[i];
    }
    scan.Ss = Ss, scan.Se = Se, scan.Ah = Ah, scan.Al = Al;
    return scan;
}

// Coefficients chosen block by block (in each component's raster order), written by libjpeg's
// encoder at full resolution: what the arithmetic decoder costs depends on what it decodes.
std::string EncodeCoefficients(int width, int height, int components, bool arithmetic,
                               const std::vector<jpeg_scan_info>& script,
                               const std::function<void(long index, JCOEF* block)>& fill) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_YCbCr;
    jpeg_set_defaults(&info);
    for (int c = 0; c < components; ++c) {
        info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    }
    info.arith_code = arithmetic ? TRUE : FALSE;
    if (!script.empty()) {
        info.scan_info = script.data();
        info.num_scans = int(script.size());
    }
    const JDIMENSION across = JDIMENSION(width + 7) / 8, down = JDIMENSION(height + 7) / 8;
    jvirt_barray_ptr arrays[MAX_COMPONENTS];
    for (int c = 0; c < components; ++c) {
        arrays[c] = info.mem->request_virt_barray(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, FALSE,
                                                  across, down, 1);
    }
    info.mem->realize_virt_arrays(reinterpret_cast<j_common_ptr>(&info));
    for (int c = 0; c < components; ++c) {
        for (JDIMENSION y = 0; y < down; ++y) {
            JBLOCKARRAY row =
                info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info), arrays[c], y, 1, TRUE);
            for (JDIMENSION x = 0; x < across; ++x) {
                std::memset(row[0][x], 0, sizeof(JBLOCK));
                fill(long(y) * long(across) + long(x), row[0][x]);
            }
        }
    }
    jpeg_write_coefficients(&info, arrays);
    jpeg_finish_compress(&info);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    free(buffer);
    return out;
}

// DC values alternating between the largest and the smallest: each block a difference of the
// largest magnitude, which the arithmetic decoder reads in about thirty decisions, learnt after
// the first few blocks so that they cost no data.
void LargestDifferences(long index, JCOEF* block) {
    block[0] = JCOEF(index % 2 != 0 ? -16384 : 16384);
}

// Every coefficient at the largest magnitude the arithmetic decoder takes.
void LargestCoefficients(long index, JCOEF* block) {
    LargestDifferences(index, block);
    for (int k = 1; k < DCTSIZE2; ++k) {
        block[k] = 16384;
    }
}

// The natural position of each position of a band (the zigzag order).
const int kNaturalOrder[DCTSIZE2] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                     12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                     35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                     58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Sixteen AC values of 1 in every block, one in each four coefficients of the block's order:
// blocks that scans of other bands pass over.
void ValuesAcrossTheBlock(long, JCOEF* block) {
    for (int k = 1; k < DCTSIZE2 - 1; k += 4) {
        block[k] = 1;
    }
}

// ---- Cutting and pasting ----------------------------------------------------------------------

// The first scan: where its header starts and where its entropy-coded data ends.
void FirstScan(const std::string& jpeg, size_t* header, size_t* end) {
    size_t at = 2;
    while (uint8_t(jpeg[at + 1]) != 0xDA) {
        at += 2 + (size_t(uint8_t(jpeg[at + 2])) << 8 | uint8_t(jpeg[at + 3]));
    }
    *header = at;
    *end = at + 2 + (size_t(uint8_t(jpeg[at + 2])) << 8 | uint8_t(jpeg[at + 3]));
    while (
        !(uint8_t(jpeg[*end]) == 0xFF && jpeg[*end + 1] != 0 && (uint8_t(jpeg[*end + 1]) & 0xF8) != 0xD0)) {
        ++*end;
    }
}

// The scan that starts at header (with its data, or its header alone), copies times, right after it.
std::string WithCopies(const std::string& jpeg, size_t header, size_t count, bool withData) {
    size_t end = header + 2 + (size_t(uint8_t(jpeg[header + 2])) << 8 | uint8_t(jpeg[header + 3]));
    const size_t dataStart = end;
    while (!(uint8_t(jpeg[end]) == 0xFF && jpeg[end + 1] != 0 && (uint8_t(jpeg[end + 1]) & 0xF8) != 0xD0)) {
        ++end;
    }
    const std::string scan = jpeg.substr(header, (withData ? end : dataStart) - header);
    std::string copies;
    for (size_t i = 0; i < count; ++i) {
        copies += scan;
    }
    return jpeg.substr(0, end) + copies + jpeg.substr(end);
}

std::string Claiming(std::string jpeg, int width, int height) {
    for (size_t at = 2;; at += 2 + (size_t(uint8_t(jpeg[at + 2])) << 8 | uint8_t(jpeg[at + 3]))) {
        const uint8_t marker = uint8_t(jpeg[at + 1]);
        if (marker == 0xC0 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA) {
            jpeg[at + 5] = char(height >> 8), jpeg[at + 6] = char(height);
            jpeg[at + 7] = char(width >> 8), jpeg[at + 8] = char(width);
            return jpeg;
        }
    }
}

// The file with the data of the scan-th scan cut to its first keep bytes: the arithmetic decoder
// goes on from the next marker with zero bits, deciding as its statistics have learnt.
std::string CutData(const std::string& jpeg, int scan, size_t keep) {
    size_t header = std::string::npos;
    for (int i = 0; i <= scan; ++i) {
        header = jpeg.find("\xFF\xDA", header + 1);
    }
    const size_t data = header + 2 + (size_t(uint8_t(jpeg[header + 2])) << 8 | uint8_t(jpeg[header + 3]));
    size_t end = data;
    while (!(uint8_t(jpeg[end]) == 0xFF && jpeg[end + 1] != 0 && (uint8_t(jpeg[end + 1]) & 0xF8) != 0xD0)) {
        ++end;
    }
    return jpeg.substr(0, data + std::min(keep, end - data)) + jpeg.substr(end);
}

// The header of the scan-th scan (0 first).
size_t ScanHeader(const std::string& jpeg, int scan) {
    size_t at = 0;
    for (int i = 0; i <= scan; ++i) {
        at = jpeg.find("\xFF\xDA", at + 1);
    }
    return at;
}

// ---- The cases ---------------------------------------------------------------------------------

struct Case {
    const char* name;
    bool hostile;
    std::function<std::string()> make;
};

const uint64_t kBlocks16384 = 2048 * 2048;  // of each component at 16384 x 16384 in full colour

std::vector<Case> Cases() {
    const auto smallFlat = [](bool arithmetic, std::vector<jpeg_scan_info> script) {
        Encoding e;
        e.width = e.height = 16;
        e.arithmetic = arithmetic;
        e.script = std::move(script);
        e.row = [](int, uint8_t* rgb) { Flat(16, rgb); };
        return Encode(e);
    };
    const auto large = [](int width, int height, bool arithmetic, bool flat) {
        Encoding e;
        e.width = width, e.height = height;
        e.arithmetic = arithmetic;
        e.row = [width, flat](int y, uint8_t* rgb) { flat ? Flat(width, rgb) : Photo(y, width, 0, rgb); };
        return Encode(e);
    };
    // cjpeg -arithmetic -quality Q [-progressive] -sample 1x1 of a photograph with noise, or of
    // pure random noise (noise < 0). Noise of +-18 at 12000 x 12000 and quality 90 makes a file of
    // about 50 MB that takes about 10 s to decode, which a fixed bound of 2^30 decisions refused.
    const auto noisy = [](int side, int quality, bool progressive, int noise) {
        Encoding e;
        e.width = e.height = side;
        e.quality = quality;
        e.arithmetic = true;
        e.progressive = progressive;
        e.row = [side, noise](int y, uint8_t* rgb) {
            noise < 0 ? RandomNoise(y, side, rgb) : Photo(y, side, noise, rgb);
        };
        return Encode(e);
    };
    // One AC scan of the first component and its refinement, copied until the budget is full.
    const std::vector<jpeg_scan_info> refining = {Scan({0, 1, 2}, 0, 0, 0, 0), Scan({0}, 1, 63, 0, 1),
                                                  Scan({0}, 1, 63, 1, 0), Scan({1}, 1, 63, 0, 0),
                                                  Scan({2}, 1, 63, 0, 0)};
    const uint64_t dcSteps = ZQI_JPEG_SCAN_STEPS + 3 * kBlocks16384 * (ZQI_JPEG_BLOCK_STEPS + 1);
    const uint64_t acSteps = ZQI_JPEG_SCAN_STEPS + kBlocks16384 * (ZQI_JPEG_BLOCK_STEPS + 63);
    const size_t refinementCopies = size_t((ZQI_MOST_JPEG_DECODING_STEPS - dcSteps - 4 * acSteps) / acSteps);
    const size_t dcCopies = size_t((ZQI_MOST_JPEG_DECODING_STEPS - dcSteps - 4 * acSteps) / dcSteps);
    // 512 x 512 blocks: a DC scan, an AC scan of 62 coefficients, then scans of the last one
    // alone, its refinement copied until the step budget is full. libjpeg's arithmetic decoder
    // reads each block back from the 63rd position before it refines that one.
    const auto lastCoefficientRefined = [](const std::function<void(long, JCOEF*)>& fill) {
        const uint64_t blocks = 512 * 512;
        const uint64_t first = 3 * ZQI_JPEG_SCAN_STEPS + blocks * (3 * ZQI_JPEG_BLOCK_STEPS + 1 + 62 + 1);
        const uint64_t refinement = ZQI_JPEG_SCAN_STEPS + blocks * (ZQI_JPEG_BLOCK_STEPS + 63);
        const size_t copies = size_t((ZQI_MOST_JPEG_DECODING_STEPS - first) / refinement) - 1;
        const std::string file = EncodeCoefficients(
            4096, 4096, 1, true,
            {Scan({0}, 0, 0, 0, 0), Scan({0}, 1, 62, 0, 0), Scan({0}, 63, 63, 0, 1), Scan({0}, 63, 63, 1, 0)},
            fill);
        return WithCopies(file, ScanHeader(file, 3), copies, true);
    };
    return {
        {"arithmetic, 1.6 KB, 90 empty scans, claims 16384x16384", true,
         [=] {
             const std::string file = Claiming(smallFlat(true, {}), 16384, 16384);
             return WithCopies(file, ScanHeader(file, 0), 90, false);
         }},
        {"arithmetic, DC scan copied to fill the budget, 16384x16384", true,
         [=] {
             const std::string file = Claiming(smallFlat(true, refining), 16384, 16384);
             return WithCopies(file, ScanHeader(file, 0), dcCopies, true);
         }},
        {"arithmetic, refinement scan copied to fill the budget, 16384x16384", true,
         [=] {
             const std::string file = Claiming(smallFlat(true, refining), 16384, 16384);
             return WithCopies(file, ScanHeader(file, 2), refinementCopies, false);
         }},
        {"Huffman, 1.6 MB first scan, 90 empty scans, claims 16384x16384", true,
         [=] {
             std::string file = Claiming(smallFlat(false, {}), 16384, 16384);
             size_t header = 0, end = 0;
             FirstScan(file, &header, &end);
             file.insert(end, std::string(3 * kBlocks16384 / 8, '\0'));
             return WithCopies(file, header, 90, false);
         }},
        {"arithmetic 4096x4096 gray, values across each block, refinement of the last coefficient to the "
         "budget",
         true, [=] { return lastCoefficientRefined(ValuesAcrossTheBlock); }},
        {"arithmetic 4096x4096 gray, no AC value, refinement of the last coefficient to the budget", true,
         [=] { return lastCoefficientRefined([](long, JCOEF*) {}); }},
        {"arithmetic 4096x4096 gray, values in the first 46 positions, scans of the last 17 to the budget",
         true,
         [=] {
             // Every position of the first 46 holds a value; the AC scan of the other 17 is
             // copied until the step budget is full (libjpeg warns of the progression).
             const uint64_t blocks = 512 * 512;
             const uint64_t first =
                 3 * ZQI_JPEG_SCAN_STEPS + blocks * (3 * ZQI_JPEG_BLOCK_STEPS + 1 + 46 + 17);
             const uint64_t scan = ZQI_JPEG_SCAN_STEPS + blocks * (ZQI_JPEG_BLOCK_STEPS + 17);
             const size_t copies = size_t((ZQI_MOST_JPEG_DECODING_STEPS - first) / scan);
             const std::string file =
                 EncodeCoefficients(4096, 4096, 1, true,
                                    {Scan({0}, 0, 0, 0, 0), Scan({0}, 1, 46, 0, 0), Scan({0}, 47, 63, 0, 0)},
                                    [](long, JCOEF* block) {
                                        for (int k = 1; k <= 46; ++k) {
                                            block[kNaturalOrder[k]] = JCOEF(k % 2 != 0 ? 1 : -3);
                                        }
                                    });
             return WithCopies(file, ScanHeader(file, 2), copies, true);
         }},
        {"arithmetic 4096x4096, DC scan of largest differences, 165 copies", true,
         [=] {
             const std::string file =
                 EncodeCoefficients(4096, 4096, 3, true, {Scan({0, 1, 2}, 0, 0, 0, 0)}, LargestDifferences);
             return WithCopies(file, ScanHeader(file, 0), 164, true);
         }},
        {"arithmetic 2048x2048 gray, largest AC values cut to 20 KB, 3 copies", true,
         [=] {
             const std::string file = CutData(EncodeCoefficients(2048, 2048, 1, true,
                                                                 {Scan({0}, 0, 0, 0, 0), Scan({0}, 1, 63, 0, 0)},
                                                                 LargestCoefficients),
                                              1, 20000);
             return WithCopies(file, ScanHeader(file, 1), 2, true);
         }},
        {"arithmetic sequential, largest values cut to 20 KB, claims 8192x8192", true,
         [=] {
             return Claiming(CutData(EncodeCoefficients(2048, 2048, 3, true, {}, LargestCoefficients), 0, 20000),
                             8192, 8192);
         }},
        {"arithmetic sequential, largest values cut to 1 MB, claims 16384x16384", true,
         [=] {
             return Claiming(
                 CutData(EncodeCoefficients(4096, 4096, 3, true, {}, LargestCoefficients), 0, 1000000), 16384,
                 16384);
         }},
        {"arithmetic 4096x4096, every value at the largest, all its data", true,
         [=] { return EncodeCoefficients(4096, 4096, 3, true, {}, LargestCoefficients); }},
        {"arithmetic progressive 4:4:4 q90, photo noise +-18, 12000x12000", false,
         [=] { return noisy(12000, 90, true, 18); }},
        {"arithmetic progressive 4:4:4 q100, pure random noise, 8192x8192", false,
         [=] { return noisy(8192, 100, true, -1); }},
        {"arithmetic sequential 4:4:4 q90, photo noise +-18, 12000x12000", false,
         [=] { return noisy(12000, 90, false, 18); }},
        {"arithmetic sequential 4:4:4 q100, pure random noise, 8192x8192", false,
         [=] { return noisy(8192, 100, false, -1); }},
        {"arithmetic progressive 4:4:4, 12000x12000", false,
         [=] { return large(12000, 12000, true, false); }},
        {"Huffman progressive 4:4:4, 12000x12000", false, [=] { return large(12000, 12000, false, false); }},
        {"arithmetic progressive 4:4:4 flat, 16384x16384", false,
         [=] { return large(16384, 16384, true, true); }},
        {"Huffman progressive 4:4:4 flat, 16384x16384", false,
         [=] { return large(16384, 16384, false, true); }},
    };
}

// One file in this process: the loader's answer, its seconds and the process's peak.
int RunOne(const std::string& path) {
    const std::string bytes = ReadFile(path);
    zq_bitmap_t bitmap = {};
    const auto started = std::chrono::steady_clock::now();
    const bool loaded = ReadJPEG(&bitmap, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s %.3f %lld\n", loaded ? "loaded" : "refused", seconds, (long long)usage.ru_maxrss * 1024);
    ZQI_GetImageLoader()->FreeImagePixels(&bitmap);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--one") == 0) {
        return RunOne(argv[2]);
    }
    std::printf("%-68s %10s %8s %8s %8s\n", "file", "bytes", "result", "seconds", "peak MB");
    for (const Case& c : Cases()) {
        bool chosen = argc == 1;
        for (int i = 1; i < argc; ++i) {
            chosen = chosen || std::strstr(c.name, argv[i]) != nullptr;
        }
        if (!chosen) {
            continue;
        }
        // Named for the case, so that a file made once serves every later run of the same case.
        std::string path = "jpeg-work-";
        for (const char* p = c.name; *p != '\0'; ++p) {
            path += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '-';
        }
        path += ".jpg";
        std::string bytes = ReadFile(path);
        if (bytes.empty()) {
            bytes = c.make();
            std::ofstream(path, std::ios::binary) << bytes;
        }
        const std::string command = std::string("'") + argv[0] + "' --one " + path;
        FILE* child = popen(command.c_str(), "r");
        char result[16] = "";
        double seconds = 0;
        long long peak = 0;
        if (child == nullptr || std::fscanf(child, "%15s %lf %lld", result, &seconds, &peak) != 3) {
            std::printf("%-68s  failed to run\n", c.name);
        } else {
            std::printf("%-68s %10zu %8s %8.2f %8.0f%s\n", c.name, bytes.size(), result, seconds, peak / 1e6,
                        c.hostile ? "" : (std::strcmp(result, "loaded") == 0 ? "" : "  VALID FILE REFUSED"));
        }
        if (child != nullptr) {
            pclose(child);
        }
    }
    return 0;
}
