// How many decisions of the arithmetic decoder valid files take for each bit of their entropy-coded
// data, as the JPEG reader counts them: the measurement behind its limit on decisions, an
// allowance for every file and a number for each bit of data. Files are made with libjpeg's
// encoder from every kind of content (flat, smooth, photographs with noise from none to static,
// pure random noise, the regular patterns of drawn art), qualities and encoder options (scan
// scripts, sampling factors, restart intervals, grayscale), decoded by the reader under a limit that
// never stops them. Each line gives what the reader counted, and what the file's kind would need
// for each bit at the largest size the step budget and the pixel cap allow: the decisions past
// the allowance over its data bits there.
//
//   bench_graphics_jpeg_decisions [SIDE]       every file at SIDE x SIDE (default 512); the worst last
//   bench_graphics_jpeg_decisions --file PATH  what the reader counts of one file and its limit
#include <algorithm>
#include <cmath>
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

// ---- Content ----------------------------------------------------------------------------------

uint32_t Random(uint32_t* state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

uint8_t Clamp(int value) {
    return uint8_t(value < 0 ? 0 : value > 255 ? 255 : value);
}

struct Content {
    std::string name;
    std::function<void(int width, int height, std::vector<uint8_t>* rgb)> make;
};

// Smooth fields with some texture, as photographs and painted art code, with noise of up to
// plus or minus noise in each channel.
Content Photo(int noise) {
    return {
        "photo noise " + std::to_string(noise), [noise](int width, int height, std::vector<uint8_t>* rgb) {
            uint32_t state = 12345;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    uint8_t* p = &(*rgb)[(size_t(y) * width + x) * 3];
                    const int texture = ((x * 7 + y * 13) ^ (x * y)) & 15;
                    const int base[3] = {x / 64 + y / 96 + texture, (x + y) / 128 * 7 + texture,
                                         128 + ((x / 256) ^ (y / 256)) + texture};
                    for (int c = 0; c < 3; ++c) {
                        const int n = noise == 0 ? 0 : int(Random(&state) % uint32_t(2 * noise + 1)) - noise;
                        p[c] = Clamp(base[c] + n);
                    }
                }
            }
        }};
}

std::vector<Content> Contents() {
    std::vector<Content> contents = {
        {"flat",
         [](int width, int height, std::vector<uint8_t>* rgb) {
             for (size_t i = 0; i < size_t(width) * height; ++i) {
                 (*rgb)[i * 3] = 200, (*rgb)[i * 3 + 1] = 120, (*rgb)[i * 3 + 2] = 40;
             }
         }},
        {"smooth gradient",
         [](int width, int height, std::vector<uint8_t>* rgb) {
             for (int y = 0; y < height; ++y) {
                 for (int x = 0; x < width; ++x) {
                     uint8_t* p = &(*rgb)[(size_t(y) * width + x) * 3];
                     p[0] = uint8_t(x * 255 / width), p[1] = uint8_t(y * 255 / height);
                     p[2] = uint8_t((x + y) * 127 / (width + height));
                 }
             }
         }},
        {"pure random noise",
         [](int, int, std::vector<uint8_t>* rgb) {
             uint32_t state = 777;
             for (uint8_t& byte : *rgb) {
                 byte = uint8_t(Random(&state));
             }
         }},
        {"pixel checkerboard",
         [](int width, int height, std::vector<uint8_t>* rgb) {
             for (int y = 0; y < height; ++y) {
                 for (int x = 0; x < width; ++x) {
                     memset(&(*rgb)[(size_t(y) * width + x) * 3], (x + y) % 2 ? 230 : 20, 3);
                 }
             }
         }},
        {"ordered dither of a gradient",
         [](int width, int height, std::vector<uint8_t>* rgb) {
             static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
             for (int y = 0; y < height; ++y) {
                 for (int x = 0; x < width; ++x) {
                     const int level = x * 17 / width;
                     memset(&(*rgb)[(size_t(y) * width + x) * 3], level > kBayer[y % 4][x % 4] ? 255 : 0, 3);
                 }
             }
         }},
        {"one 8x8 tile repeated",
         [](int width, int height, std::vector<uint8_t>* rgb) {
             uint32_t state = 99;
             uint8_t tile[8][8][3];
             for (auto& row : tile) {
                 for (auto& pixel : row) {
                     for (uint8_t& c : pixel) {
                         c = uint8_t(Random(&state));
                     }
                 }
             }
             for (int y = 0; y < height; ++y) {
                 for (int x = 0; x < width; ++x) {
                     memcpy(&(*rgb)[(size_t(y) * width + x) * 3], tile[y % 8][x % 8], 3);
                 }
             }
         }},
        {"text-like glyphs on flat ground",
         [](int width, int height, std::vector<uint8_t>* rgb) {
             uint32_t state = 5;
             uint8_t glyphs[16][12];
             for (auto& glyph : glyphs) {
                 for (uint8_t& column : glyph) {
                     column = uint8_t(Random(&state));
                 }
             }
             for (int y = 0; y < height; ++y) {
                 for (int x = 0; x < width; ++x) {
                     const int cell = (x / 8 + (y / 12) * 7) % 16;
                     const bool ink = x % 8 < 7 && (glyphs[cell][y % 12] >> (x % 8)) & 1;
                     memset(&(*rgb)[(size_t(y) * width + x) * 3], ink ? 30 : 235, 3);
                 }
             }
         }},
    };
    for (int noise : {0, 1, 2, 4, 12, 32, 64}) {
        contents.push_back(Photo(noise));
    }
    return contents;
}

// ---- Encoder options ---------------------------------------------------------------------------

jpeg_scan_info Scan(std::vector<int> components, int Ss, int Se, int Ah, int Al) {
    jpeg_scan_info scan = {};
    scan.comps_in_scan = int(components.size());
    for (size_t i = 0; i < components.size(); ++i) {
        scan.component_index[i] = components[i];
    }
    scan.Ss = Ss, scan.Se = Se, scan.Ah = Ah, scan.Al = Al;
    return scan;
}

// Bands of AC coefficients, one scan each.
void Bands(std::vector<jpeg_scan_info>* script, int component, int count, int first, int last, int Ah,
           int Al) {
    for (int i = 0; i < count; ++i) {
        script->push_back(Scan({component}, first + i * (last - first + 1) / count,
                               first + (i + 1) * (last - first + 1) / count - 1, Ah, Al));
    }
}

struct Options {
    std::string name;
    bool grayscale = false;
    bool progressive = false;  // libjpeg's standard script unless script is given
    int h = 2, v = 2;          // the first component's sampling factors (libjpeg's default 2x2)
    int restartMCUs = 0, restartRows = 0;
    std::vector<jpeg_scan_info> script;
};

std::vector<Options> AllOptions() {
    std::vector<Options> all;
    const auto add = [&all](std::string name, std::function<void(Options*)> set) {
        Options options;
        options.name = std::move(name);
        set(&options);
        all.push_back(options);
    };
    for (int restart = 0; restart < 3; ++restart) {
        const std::string r = restart == 0 ? "" : restart == 1 ? " restart 1B" : " restart 1 row";
        const auto restarts = [restart](Options* o) {
            o->restartMCUs = restart == 1 ? 1 : 0;
            o->restartRows = restart == 2 ? 1 : 0;
        };
        add("sequential 2x2" + r, [&](Options* o) { restarts(o); });
        add("sequential 1x1" + r, [&](Options* o) { o->h = o->v = 1, restarts(o); });
        add("sequential gray" + r, [&](Options* o) { o->grayscale = true, restarts(o); });
        add("progressive 2x2" + r, [&](Options* o) { o->progressive = true, restarts(o); });
        add("progressive 1x1" + r, [&](Options* o) { o->progressive = true, o->h = o->v = 1, restarts(o); });
        add("progressive gray" + r,
            [&](Options* o) { o->progressive = true, o->grayscale = true, restarts(o); });
    }
    for (const auto& s : std::vector<std::pair<int, int>>{{2, 1}, {1, 2}, {3, 1}, {4, 2}}) {
        add("sequential " + std::to_string(s.first) + "x" + std::to_string(s.second),
            [&](Options* o) { o->h = s.first, o->v = s.second; });
        add("progressive " + std::to_string(s.first) + "x" + std::to_string(s.second),
            [&](Options* o) { o->progressive = true, o->h = s.first, o->v = s.second; });
    }
    add("colour-13 1x1", [](Options* o) {
        o->h = o->v = 1;
        o->script = {Scan({0, 1, 2}, 0, 0, 0, 1), Scan({0}, 1, 2, 0, 2),  Scan({0}, 3, 5, 0, 2),
                     Scan({2}, 1, 63, 0, 1),      Scan({1}, 1, 63, 0, 1), Scan({0}, 6, 20, 0, 2),
                     Scan({0}, 21, 63, 0, 2),     Scan({0}, 1, 63, 2, 1), Scan({0, 1, 2}, 0, 0, 1, 0),
                     Scan({2}, 1, 63, 1, 0),      Scan({1}, 1, 63, 1, 0), Scan({0}, 1, 32, 1, 0),
                     Scan({0}, 33, 63, 1, 0)};
    });
    add("colour-66 1x1", [](Options* o) {
        o->h = o->v = 1;
        o->script = {Scan({0, 1, 2}, 0, 0, 0, 1), Scan({0, 1, 2}, 0, 0, 1, 0)};
        Bands(&o->script, 0, 22, 1, 63, 0, 0);
        Bands(&o->script, 1, 21, 1, 63, 0, 0);
        Bands(&o->script, 2, 21, 1, 63, 0, 0);
    });
    add("gray-11", [](Options* o) {
        o->grayscale = true;
        o->script = {Scan({0}, 0, 0, 0, 0)};
        const int bands[][2] = {{1, 2},   {3, 5},   {6, 9},   {10, 14}, {15, 20},
                                {21, 27}, {28, 35}, {36, 44}, {45, 54}, {55, 63}};
        for (const auto& band : bands) {
            o->script.push_back(Scan({0}, band[0], band[1], 0, 0));
        }
    });
    add("gray-13", [](Options* o) {
        o->grayscale = true;
        o->script = {Scan({0}, 0, 0, 0, 1)};
        Bands(&o->script, 0, 10, 1, 63, 0, 1);
        o->script.push_back(Scan({0}, 0, 0, 1, 0));
        o->script.push_back(Scan({0}, 1, 63, 1, 0));
    });
    add("gray-100", [](Options* o) {
        o->grayscale = true;
        o->script = {Scan({0}, 0, 0, 0, 2), Scan({0}, 0, 0, 2, 1), Scan({0}, 0, 0, 1, 0)};
        Bands(&o->script, 0, 63, 1, 63, 0, 2);
        Bands(&o->script, 0, 17, 1, 63, 2, 1);
        Bands(&o->script, 0, 17, 1, 63, 1, 0);
    });
    add("gray-100 restart 1B", [](Options* o) {
        o->grayscale = true;
        o->restartMCUs = 1;
        o->script = {Scan({0}, 0, 0, 0, 2), Scan({0}, 0, 0, 2, 1), Scan({0}, 0, 0, 1, 0)};
        Bands(&o->script, 0, 63, 1, 63, 0, 2);
        Bands(&o->script, 0, 17, 1, 63, 2, 1);
        Bands(&o->script, 0, 17, 1, 63, 1, 0);
    });
    return all;
}

std::string Encode(const std::vector<uint8_t>& rgb, int width, int height, int quality, const Options& o) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (o.grayscale) {
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    }
    info.arith_code = TRUE;
    info.restart_interval = unsigned(o.restartMCUs);
    info.restart_in_rows = o.restartRows;
    info.comp_info[0].h_samp_factor = o.h;
    info.comp_info[0].v_samp_factor = o.v;
    if (!o.script.empty()) {
        info.scan_info = o.script.data();
        info.num_scans = int(o.script.size());
    } else if (o.progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&rgb[size_t(info.next_scanline) * width * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    free(buffer);
    return out;
}

struct Result {
    std::string name;
    uint64_t decisions = 0, bits = 0, steps = 0;
    double scale = 0;   // to the largest size its steps and the pixel cap allow
    double needed = 0;  // decisions for each bit past the allowance there
};

}  // namespace

int main(int argc, char** argv) {
    const ZQI_JPEGDecisionLimit unlimited = {UINT64_MAX, 0};
    if (argc == 3 && std::strcmp(argv[1], "--file") == 0) {
        std::ifstream in(argv[2], std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        const std::string file = bytes.str();
        zq_bitmap_t bitmap = {};
        ZQI_JPEGCounted counted = {};
        const bool loaded = ZQI_ReadJPEGWithin(&bitmap, reinterpret_cast<const uint8_t*>(file.data()),
                                               file.size(), unlimited, &counted);
        ZQI_GetImageLoader()->FreeImagePixels(&bitmap);
        std::printf(
            "%s: %s, %llu steps, %llu decisions, %llu bytes of data (%.2f decisions a bit); the limit "
            "allows %llu\n",
            argv[2], loaded ? "decoded" : "not decoded", (unsigned long long)counted.steps,
            (unsigned long long)counted.decisions, (unsigned long long)counted.dataBytes,
            double(counted.decisions) / (8.0 * double(counted.dataBytes)),
            (unsigned long long)ZQI_JPEGMostDecisions(ZQI_JPEG_DECISION_LIMIT, counted.dataBytes));
        return 0;
    }
    const int side = argc > 1 ? std::atoi(argv[1]) : 512;
    const double allowance = double(ZQI_JPEG_DECISION_LIMIT.allowance);
    std::vector<Result> results;
    std::vector<uint8_t> rgb(size_t(side) * side * 3);
    std::printf("%-52s %12s %12s %8s %8s %9s\n", "file", "decisions", "data bits", "per bit", "scale",
                "needs");
    for (const Content& content : Contents()) {
        content.make(side, side, &rgb);
        for (int quality : {50, 75, 90, 100}) {
            for (const Options& options : AllOptions()) {
                const std::string bytes = Encode(rgb, side, side, quality, options);
                zq_bitmap_t bitmap = {};
                ZQI_JPEGCounted counted = {};
                const bool loaded =
                    ZQI_ReadJPEGWithin(&bitmap, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                       unlimited, &counted);
                ZQI_GetImageLoader()->FreeImagePixels(&bitmap);
                Result r;
                r.name = content.name + " q" + std::to_string(quality) + " " + options.name;
                if (!loaded) {
                    std::printf("%-52s REFUSED\n", r.name.c_str());
                    continue;
                }
                r.decisions = counted.decisions, r.bits = counted.dataBytes * 8, r.steps = counted.steps;
                r.scale = std::min(double(uint64_t(1) << 28) / (double(side) * side),
                                   double(ZQI_MOST_JPEG_DECODING_STEPS) / double(counted.steps));
                r.needed =
                    std::max(0.0, (double(r.decisions) * r.scale - allowance) / (double(r.bits) * r.scale));
                std::printf("%-52s %12llu %12llu %8.2f %8.1f %9.3f\n", r.name.c_str(),
                            (unsigned long long)r.decisions, (unsigned long long)r.bits,
                            double(r.decisions) / double(r.bits), r.scale, r.needed);
                results.push_back(r);
            }
        }
    }
    std::sort(results.begin(), results.end(),
              [](const Result& a, const Result& b) { return a.needed > b.needed; });
    std::printf("\nthe most decisions a bit needed (the allowance taken out at the largest size):\n");
    for (size_t i = 0; i < results.size() && i < 15; ++i) {
        std::printf("%-52s %9.3f  (%.0f decisions at %.1fx)\n", results[i].name.c_str(), results[i].needed,
                    double(results[i].decisions) * results[i].scale, results[i].scale);
    }
    return 0;
}
