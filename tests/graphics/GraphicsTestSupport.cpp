// Helpers of the graphics tests (see GraphicsTestSupport.h).
#include "GraphicsTestSupport.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <jpeglib.h>

#include "EngineTestFiles.h"
#include "core/Console.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/Threads.h"
#include "graphics/BitmapTable.h"
#include "graphics/BitmapUpload.h"
#include "graphics/ImageLoader.h"
#include "graphics/RendererBackEnd.h"

namespace {

EngineTest::FileSystemsEnvironment* const g_environment = static_cast<EngineTest::FileSystemsEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new EngineTest::FileSystemsEnvironment(
        "zq_graphics_tests", {{SCHEME_RES, "res"}, {SCHEME_USER, "user"}, {SCHEME_CACHE, "user/cache"}})));

void AppendToString(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

void NoFlush(png_structp) {}

uint8_t GreyLevel(uint8_t value, int bitDepth) {
    return bitDepth >= 8 ? value : static_cast<uint8_t>(value >> (8 - bitDepth));
}

// One row in the PNG's own sample layout.
std::vector<uint8_t> PackRow(const TestImage& image, int y, const PNGOptions& options,
                             const std::map<uint32_t, int>& palette) {
    const int channels = options.colorType == 0 || options.colorType == 3 ? 1
                         : options.colorType == 4                         ? 2
                         : options.colorType == 2                         ? 3
                                                                          : 4;
    std::vector<int> samples;
    for (int x = 0; x < image.width; ++x) {
        const uint8_t* p = image.At(x, y);
        switch (options.colorType) {
            case 0:
                samples.push_back(GreyLevel(p[0], options.bitDepth));
                break;
            case 3: {
                uint32_t key;
                memcpy(&key, p, 4);
                samples.push_back(palette.at(key));
                break;
            }
            default:
                for (int c = 0; c < channels; ++c) {
                    samples.push_back(options.colorType == 4 && c == 1 ? p[3] : p[c]);
                }
        }
    }
    std::vector<uint8_t> row;
    if (options.bitDepth == 16) {
        for (int sample : samples) {
            row.push_back(static_cast<uint8_t>(sample));
            row.push_back(static_cast<uint8_t>(sample));
        }
    } else if (options.bitDepth == 8) {
        row.assign(samples.begin(), samples.end());
    } else {
        int bitsUsed = 0;
        for (int sample : samples) {
            if (bitsUsed % 8 == 0) {
                row.push_back(0);
            }
            row.back() |= static_cast<uint8_t>(sample << (8 - options.bitDepth - bitsUsed % 8));
            bitsUsed += options.bitDepth;
        }
    }
    return row;
}

}  // namespace

TestImage PatternImage(int32_t width, int32_t height, uint32_t seed, bool opaque) {
    TestImage image;
    image.width = width;
    image.height = height;
    image.rgba.resize(size_t(width) * height * 4);
    uint32_t state = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < image.rgba.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        image.rgba[i] = static_cast<uint8_t>(state >> 24);
        if (opaque && i % 4 == 3) {
            image.rgba[i] = 255;
        }
    }
    return image;
}

void PaddedTexel(const TestImage& image, int borderX, int borderY, int x, int y, bool transparentBorder,
                 uint8_t out[4]) {
    const int ix = std::min(std::max(x - borderX, 0), image.width - 1);
    const int iy = std::min(std::max(y - borderY, 0), image.height - 1);
    memcpy(out, image.At(ix, iy), 4);
    const bool onBorder =
        (borderX && (x == 0 || x == image.width + 1)) || (borderY && (y == 0 || y == image.height + 1));
    if (transparentBorder && onBorder) {
        out[3] = 0;
    }
}

int CountWrongPaddedTexels(const TestImage& image, int borderX, int borderY, bool transparentBorder,
                           const uint8_t* texels, int pitch) {
    int wrong = 0;
    for (int y = 0; y < image.height + 2 * borderY; ++y) {
        for (int x = 0; x < image.width + 2 * borderX; ++x) {
            uint8_t expected[4];
            PaddedTexel(image, borderX, borderY, x, y, transparentBorder, expected);
            wrong += memcmp(expected, texels + size_t(y) * pitch + size_t(x) * 4, 4) != 0;
        }
    }
    return wrong;
}

bool PixelsEqual(const zq_bitmap_t* bitmap, const TestImage& image) {
    return bitmap != nullptr && bitmap->pixels != nullptr && bitmap->pixel_width == image.width &&
           bitmap->pixel_height == image.height &&
           memcmp(bitmap->pixels, image.rgba.data(), image.rgba.size()) == 0;
}

std::string EncodePNG(const TestImage& image, const PNGOptions& options) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return std::string();
    }
    png_set_write_fn(png, &out, AppendToString, NoFlush);
    png_set_IHDR(png, info, image.width, image.height, options.bitDepth, options.colorType,
                 options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::map<uint32_t, int> palette;
    std::vector<png_color> colors;
    if (options.colorType == 3) {
        for (size_t i = 0; i < image.rgba.size(); i += 4) {
            uint32_t key;
            memcpy(&key, &image.rgba[i], 4);
            if (palette.emplace(key, int(colors.size())).second) {
                colors.push_back({image.rgba[i], image.rgba[i + 1], image.rgba[i + 2]});
            }
        }
        png_set_PLTE(png, info, colors.data(), static_cast<int>(colors.size()));
    }
    if (options.transparentKey) {
        png_color_16 key = {};
        const uint8_t* first = image.At(0, 0);
        const int scale = options.bitDepth == 16 ? 257 : 1;
        key.gray = static_cast<png_uint_16>(GreyLevel(first[0], options.bitDepth) * scale);
        key.red = static_cast<png_uint_16>(first[0] * scale);
        key.green = static_cast<png_uint_16>(first[1] * scale);
        key.blue = static_cast<png_uint_16>(first[2] * scale);
        png_byte alpha[1] = {0};
        png_set_tRNS(png, info, options.colorType == 3 ? alpha : nullptr, options.colorType == 3 ? 1 : 0,
                     &key);
    }
    if (options.gamma != 0.0) {
        png_set_gAMA(png, info, options.gamma);
    }
    png_write_info(png, info);
    std::vector<std::vector<uint8_t>> rows;
    std::vector<png_bytep> pointers;
    for (int y = 0; y < image.height; ++y) {
        rows.push_back(PackRow(image, y, options, palette));
    }
    for (auto& row : rows) {
        pointers.push_back(row.data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string BigEndian32(uint32_t value) {
    return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
}

std::string PNGChunk(const std::string& type, const std::string& data) {
    const std::string covered = type + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(covered.data()), uInt(covered.size()));
    return BigEndian32(uint32_t(data.size())) + covered + BigEndian32(uint32_t(crc));
}

std::string ZeroRowsPNG(uint32_t width, uint32_t height, uint32_t rowCount) {
    const std::string ihdr = BigEndian32(width) + BigEndian32(height) + std::string("\x08\x06\0\0\0", 5);
    std::vector<Bytef> rows(size_t(rowCount) * (1 + size_t(width) * 4), 0);
    uLongf packedSize = compressBound(uLong(rows.size()));
    std::vector<Bytef> packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), uLong(rows.size()), 9) != Z_OK) {
        return "";
    }
    const std::string data(reinterpret_cast<const char*>(packed.data()), packedSize);
    return std::string("\x89PNG\r\n\x1a\n", 8) + PNGChunk("IHDR", ihdr) + PNGChunk("IDAT", data) +
           PNGChunk("IEND", "");
}

std::string EncodeJPEG(const TestImage& image, int quality, bool progressive) {
    JPEGOptions options;
    options.quality = quality;
    options.progressive = progressive;
    return EncodeJPEG(image, options);
}

namespace {

// A scan script in cjpeg's syntax: "0,1,2: 0 0 0 1;" per scan (components: Ss Se Ah Al), a scan of
// components alone standing for 0 63 0 0, "#" to the end of a line a comment.
std::vector<jpeg_scan_info> ScanScript(const std::string& script) {
    std::string text;
    bool comment = false;
    for (char c : script) {
        comment = c == '#' || (comment && c != '\n');
        text += comment || c == ',' ? ' ' : c;
    }
    std::vector<jpeg_scan_info> scans;
    std::istringstream entries(text);
    for (std::string entry; std::getline(entries, entry, ';');) {
        const size_t colon = entry.find(':');
        jpeg_scan_info scan = {0, {}, 0, 63, 0, 0};
        std::istringstream components(entry.substr(0, colon));
        for (int c; scan.comps_in_scan < MAX_COMPS_IN_SCAN && components >> c;) {
            scan.component_index[scan.comps_in_scan++] = c;
        }
        if (colon != std::string::npos) {
            std::istringstream(entry.substr(colon + 1)) >> scan.Ss >> scan.Se >> scan.Ah >> scan.Al;
        }
        if (scan.comps_in_scan > 0) {
            scans.push_back(scan);
        }
    }
    return scans;
}

}  // namespace

std::string EncodeJPEG(const TestImage& image, const JPEGOptions& options) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = image.width;
    info.image_height = image.height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    if (options.grayscale) {
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    }
    info.arith_code = options.arithmetic ? TRUE : FALSE;
    info.optimize_coding = options.optimize ? TRUE : FALSE;
    info.restart_in_rows = options.restartRows;
    info.restart_interval = static_cast<unsigned int>(options.restartMCUs);
    if (options.fullColour) {
        info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
    }
    if (options.lumaH != 0) {
        info.comp_info[0].h_samp_factor = options.lumaH;
        info.comp_info[0].v_samp_factor = options.lumaV;
    }
    const std::vector<jpeg_scan_info> script = ScanScript(options.scans);
    if (!script.empty()) {
        info.scan_info = script.data();
        info.num_scans = int(script.size());
    } else if (options.progressive) {
        jpeg_simple_progression(&info);
    }
    if (options.coefficients != nullptr) {
        // Every component sampled 1x1: as many blocks each as the image has.
        const JDIMENSION across = (info.image_width + 7) / 8, down = (info.image_height + 7) / 8;
        jvirt_barray_ptr arrays[MAX_COMPONENTS];
        j_common_ptr common = reinterpret_cast<j_common_ptr>(&info);
        for (int c = 0; c < info.num_components; ++c) {
            info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
            arrays[c] = info.mem->request_virt_barray(common, JPOOL_IMAGE, FALSE, across, down, 1);
        }
        info.mem->realize_virt_arrays(common);
        for (int c = 0; c < info.num_components; ++c) {
            for (JDIMENSION y = 0; y < down; ++y) {
                JBLOCKROW row = info.mem->access_virt_barray(common, arrays[c], y, 1, TRUE)[0];
                for (JDIMENSION x = 0; x < across; ++x) {
                    memset(row[x], 0, sizeof(JBLOCK));
                    options.coefficients(x, y, row[x]);
                }
            }
        }
        jpeg_write_coefficients(&info, arrays);
    } else {
        jpeg_start_compress(&info, TRUE);
        std::vector<uint8_t> row(size_t(image.width) * 3);
        while (info.next_scanline < info.image_height) {
            for (int x = 0; x < image.width; ++x) {
                memcpy(&row[size_t(x) * 3], image.At(x, int(info.next_scanline)), 3);
            }
            JSAMPROW pointer = row.data();
            jpeg_write_scanlines(&info, &pointer, 1);
        }
    }
    jpeg_finish_compress(&info);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    free(buffer);
    return out;
}

bool MatchesJPEGReference(const zq_bitmap_t* bitmap, const std::string& bytes, long* warnings) {
    return bitmap->pixels != nullptr && PixelsEqual(bitmap, DecodeJPEGReference(bytes, warnings));
}

TestImage DecodeJPEGReference(const std::string& bytes, long* warnings) {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    TestImage image;
    image.width = int32_t(info.output_width);
    image.height = int32_t(info.output_height);
    image.rgba.resize(size_t(image.width) * image.height * 4);
    std::vector<uint8_t> row(size_t(image.width) * 3);
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        JSAMPROW pointer = row.data();
        jpeg_read_scanlines(&info, &pointer, 1);
        for (int x = 0; x < image.width; ++x) {
            uint8_t* p = image.At(x, y);
            memcpy(p, &row[size_t(x) * 3], 3);
            p[3] = 255;
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (warnings != nullptr) {
        *warnings = errors.num_warnings;
    }
    return image;
}

std::string EncodeTGA(const TestImage& image, bool runLength, int bitsPerPixel, bool topToBottom) {
    std::string out(18, '\0');
    out[2] = static_cast<char>(runLength ? 10 : 2);
    out[12] = static_cast<char>(image.width & 0xFF);
    out[13] = static_cast<char>(image.width >> 8);
    out[14] = static_cast<char>(image.height & 0xFF);
    out[15] = static_cast<char>(image.height >> 8);
    out[16] = static_cast<char>(bitsPerPixel);
    out[17] = static_cast<char>(topToBottom ? 0x20 : 0);
    const int bytes = bitsPerPixel / 8;
    auto pixel = [&](int x, int y) {
        const uint8_t* p = image.At(x, y);
        std::string stored = {char(p[2]), char(p[1]), char(p[0]), char(p[3])};
        return stored.substr(0, size_t(bytes));
    };
    for (int r = 0; r < image.height; ++r) {
        const int y = topToBottom ? r : image.height - 1 - r;
        for (int x = 0; x < image.width;) {
            if (!runLength) {
                out += pixel(x++, y);
                continue;
            }
            int run = 1;
            while (x + run < image.width && run < 128 && pixel(x + run, y) == pixel(x, y)) {
                ++run;
            }
            if (run > 1) {
                out += static_cast<char>(0x80 | (run - 1));
                out += pixel(x, y);
            } else {
                out += static_cast<char>(0);
                out += pixel(x, y);
            }
            x += run;
        }
    }
    return out;
}

std::string NativeResPath(const std::string& name) {
    return g_environment->ScratchPath(("res/" + name).c_str());
}

std::string NativeCachePath(const std::string& name) {
    return g_environment->ScratchPath(("user/cache/" + name).c_str());
}

std::string WriteResFile(const std::string& name, const std::string& bytes) {
    const std::filesystem::path native = NativeResPath(name);
    std::filesystem::create_directories(native.parent_path());
    std::ofstream out(native, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return "res://" + name;
}

std::string ReadNativeFile(const std::string& nativePath) {
    std::ifstream in(nativePath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void GraphicsTest::SetUp() {
    ZQI_InitializeMainThread();
    g_core.consoleEnabled = 1;
    g_core.developerMode = 1;
    g_core.logVerboseLevel = LOG_LEVEL_INFO;
    LogSettings settings = {};
    settings.loggingEnabled = true;
    settings.verboseThreshold = LOG_LEVEL_INFO;
    settings.developerMode = true;
    ZQI_StartLog(ZQI_GetConsole(), settings);
    ZQI_ClearBitmapTable();
    ZQI_ClearBitmapQueues();
    ZQI_GetBitmapSwitches() = BitmapSwitches{1, 0, 0, PAD_DEFAULT};
}

void GraphicsTest::TearDown() {
    ZQI_ClearBitmapTable();
    ZQI_ClearBitmapQueues();
    ZQI_StopLog(ZQI_GetConsole());
    g_core.developerMode = 0;
}

int GraphicsTest::CountLogged(const std::string& text) {
    int count = 0;
    for (const ConsoleLine& line : ZQI_GetConsole()->lines) {
        if (line.text != nullptr && std::string(line.text).find(text) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

void ImageLoadingTest::TearDown() {
    ZQI_GetImageLoader()->FreeImagePixels(&bitmap_);
    GraphicsTest::TearDown();
}

bool ImageLoadingTest::Load(const std::string& name, const std::string& bytes) {
    ZQI_GetImageLoader()->FreeImagePixels(&bitmap_);
    bitmap_ = zq_bitmap_t();
    return ZQI_GetImageLoader()->LoadImage(&bitmap_, WriteResFile(name, bytes).c_str());
}

void GivePixels(zq_bitmap_t* bitmap, const TestImage& image) {
    bitmap->pixels = static_cast<uint8_t*>(malloc(image.rgba.size()));
    memcpy(bitmap->pixels, image.rgba.data(), image.rgba.size());
    bitmap->width = bitmap->pixel_width = image.width;
    bitmap->height = bitmap->pixel_height = image.height;
}
