// What hostile and large JPEG files cost the reader: seconds and peak resident memory of ReadJPEG
// for each file, every one decoded in a process of its own so that its peak is its own. The files
// are made here with libjpeg's encoder and cut and pasted like the hostile files the reader met
// (a small image's scans claiming the largest size, copies of scans without data), and kept in
// the working folder between runs. Goals: a hostile file within 10 s and 1.5 GB whether refused
// or loaded within the budget; valid files of either coding the same; no refusal of a valid file.
//
//   bench_graphics_jpeg_work            all cases, a table
//   bench_graphics_jpeg_work FILE       one file: "loaded|refused seconds peak-bytes"
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Smooth fields with some texture, as photographs and painted art code.
void Photo(int y, int width, uint8_t* rgb) {
    for (int x = 0; x < width; ++x) {
        const int texture = ((x * 7 + y * 13) ^ (x * y)) & 15;
        rgb[x * 3] = uint8_t(x / 64 + y / 96 + texture);
        rgb[x * 3 + 1] = uint8_t((x + y) / 128 * 7 + texture);
        rgb[x * 3 + 2] = uint8_t(128 + ((x / 256) ^ (y / 256)) + texture);
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
        e.row = [width, flat](int y, uint8_t* rgb) { flat ? Flat(width, rgb) : Photo(y, width, rgb); };
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
    if (argc == 2) {
        return RunOne(argv[1]);
    }
    std::printf("%-68s %10s %8s %8s %8s\n", "file", "bytes", "result", "seconds", "peak MB");
    int index = 0;
    for (const Case& c : Cases()) {
        const std::string path = "jpeg-work-" + std::to_string(index++) + ".jpg";
        std::string bytes = ReadFile(path);
        if (bytes.empty()) {
            bytes = c.make();
            std::ofstream(path, std::ios::binary) << bytes;
        }
        const std::string command = std::string("'") + argv[0] + "' " + path;
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
