// Loading bitmaps by name: the extension search, manifest entries, numbered frames (and the
// sequences built from them), and images over http:// kept in cache://. Everything loads with
// CACHE_PIXELS, which needs no GPU.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../filesystem/TestHttpServer.h"
#if defined(_WIN32)
#include "DiskCommits.h"
#endif
#include "GraphicsTestSupport.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/WindowsPOSIXSystem.h"
#include "filesystem/SearchPaths.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapLoading.h"
#include "graphics/BitmapSequence.h"
#include "graphics/BitmapTable.h"
#include "graphics/BitmapOperations.h"
#include "graphics/GraphicsResourceApi.h"
#include "graphics/PixelTools.h"
#include "startup/Manifest.h"
#include "startup/ManifestList.h"

namespace {

class BitmapLoadingTest : public GraphicsTest {
protected:
    void TearDown() override {
        ZQI_ReleaseManifest();
        for (const std::string& manifest : manifests_) {
            DataManager::UnloadDatabaseByName(manifest.c_str());
        }
        ZQI_ClearSearchPaths();
        GraphicsTest::TearDown();
    }
    // A manifest of one array whose nodes are the given XML lines.
    void AddManifest(const std::string& name, const std::string& nodes) {
        manifests_.push_back(WriteResFile(name, "<?xml version=\"1.0\"?>\n<root>\n<array id=\"BITMAPS\">\n" +
                                                    nodes + "</array>\n</root>\n"));
        ZQI_AddManifest(manifests_.back().c_str());
    }
    static zq_bitmap_t* Get(const std::string& name) {
        return ZQ_Graphics_GetBitmapWithCacheMode(name.c_str(), CACHE_PIXELS);
    }
    // A sequence file of frames with the given sizes, written by the engine's own writer.
    static void WriteSequence(const std::string& name, const std::vector<std::pair<int, int>>& sizes) {
        zq_bitmap_t bitmap = {};
        bitmap.frames = ZQI_NewBitmapRecords(int32_t(sizes.size()));
        bitmap.frame_count = int32_t(sizes.size());
        for (size_t i = 0; i < sizes.size(); ++i) {
            GivePixels(&bitmap.frames[i], PatternImage(sizes[i].first, sizes[i].second, uint32_t(i), true));
        }
        ASSERT_TRUE(ZQI_SaveBitmapSequence(&bitmap, NativeResPath(name).c_str()));
        FreeBitmapFrames(&bitmap);
    }

    std::vector<std::string> manifests_;
};

TEST_F(BitmapLoadingTest, ExtensionSearchTriesPngJpgTgaThenBms) {
    const TestImage image = PatternImage(5, 3, 1, false);
    WriteResFile("both.tga", EncodeTGA(image, false, 32, false));
    WriteSequence("both.bms", {{4, 4}});
    WriteSequence("seqonly.bms", {{4, 4}, {4, 4}});
    zq_bitmap_t* both = Get("res://both");
    EXPECT_STREQ("res://both.tga", both->source_file);
    EXPECT_TRUE(PixelsEqual(both, image));
    EXPECT_EQ(nullptr, both->frames);
    zq_bitmap_t* sequence = Get("res://seqonly");
    EXPECT_STREQ("res://seqonly.bms", sequence->source_file);
    EXPECT_EQ(2, sequence->frame_count);
    zq_bitmap_t* nothing = Get("res://nothing");
    EXPECT_EQ(nullptr, nothing->pixels);
    EXPECT_TRUE(
        Logged("Unable to load bitmap 'res://nothing' without extension. Tried all image formats but found "
               "no source files."));
    EXPECT_EQ(nullptr, Get("res://missing.png")->pixels);
    EXPECT_TRUE(Logged("Unable to load bitmap 'res://missing.png'."));
}

TEST_F(BitmapLoadingTest, ManifestEntriesGiveSizeAndPackMode) {
    WriteResFile("sized.png", EncodePNG(PatternImage(32, 32, 2, true)));
    WriteSequence("scaled.bms", {{24, 32}, {40, 64}});
    WriteSequence("flat.bms", {{8, 8}});
    std::string flatFile = ReadNativeFile(NativeResPath("flat.bms"));
    flatFile.replace(33 + 4, 4, std::string(4, '\0'));  // frame 0's height
    WriteResFile("flat.bms", flatFile);
    AddManifest("bitmaps.xml",
                "<node id=\"res://sized.png\" w=\"64\" h=\"16\" pack_mode=\"NO_PADDING\"/>\n"
                "<node id=\"res://plain.png\" pack_mode=\"SOMETHING\"/>\n"
                "<node id=\"res://scaled.bms\" h=\"16\"/>\n<node id=\"res://flat.bms\" h=\"16\"/>\n");
    zq_bitmap_t* sized = Get("res://sized");  // found with the extension appended
    EXPECT_EQ(64, sized->width);
    EXPECT_EQ(16, sized->height);
    EXPECT_EQ(32, sized->pixel_width);
    EXPECT_EQ(NO_PADDING, sized->pack_mode);
    EXPECT_TRUE(Logged("Using pack mode 'NO_PADDING'"));
    EXPECT_TRUE(
        Logged("Manifest data and source have different aspect ratios for bitmap 'res://sized' (64x16 vs "
               "32x32) (source: '" +
               NativeResPath("sized.png") + "')"));

    WriteResFile("plain.png", EncodePNG(PatternImage(8, 8, 2, true)));
    zq_bitmap_t* plain = Get("res://plain.png");
    EXPECT_EQ(PAD_DEFAULT, plain->pack_mode);
    EXPECT_EQ(32, plain->width);  // an entry without "w" and "h" means 32 x 32

    // Frames scale by h / (first frame's height), truncated per frame; pixel sizes stay.
    zq_bitmap_t* scaled = Get("res://scaled.bms");
    ASSERT_EQ(2, scaled->frame_count);
    EXPECT_EQ(12, scaled->frames[0].width);
    EXPECT_EQ(16, scaled->frames[0].height);
    EXPECT_EQ(20, scaled->frames[1].width);
    EXPECT_EQ(32, scaled->frames[1].height);
    EXPECT_EQ(64, scaled->frames[1].pixel_height);
    EXPECT_EQ(12, scaled->width);
    zq_bitmap_t* flat = Get("res://flat.bms");  // a zero frame height is left unscaled
    EXPECT_EQ(8, flat->frames[0].width);
}

// A sequence under "data" is checked against its manifest entry by frame 0's pixel size, also when
// it was hibernated showing another frame (a false "different dimensions" popup before).
TEST_F(BitmapLoadingTest, SequencesShowEachFrameWithItsPixelSizeAcrossReloads) {
    std::filesystem::create_directories(NativeResPath("data"));
    WriteSequence("data/seq.bms", {{8, 8}, {4, 4}});
    AddManifest("seq.xml", "<node id=\"res://data/seq.bms\" w=\"8\" h=\"8\"/>\n");
    zq_bitmap_t* seq = Get("res://data/seq.bms");
    ZQ_Graphics_SetBitmapFrame(seq, 1);
    EXPECT_EQ(4, seq->pixel_height);
    ZQ_Graphics_SetBitmapCacheMode(seq, CACHE_NOTHING);
    ZQ_Graphics_SetBitmapCacheMode(seq, CACHE_PIXELS);
    ASSERT_EQ(2, seq->frame_count);
    EXPECT_EQ(0, seq->current_frame);
    EXPECT_EQ(8, seq->pixel_height);
    EXPECT_FALSE(Logged("Manifest data and source have different dimensions"));
}

// Whichever frame an animated bitmap shows is what a save writes, whole (ASan reports a writer
// walking past a smaller frame), also after it was hibernated showing a small frame.
TEST_F(BitmapLoadingTest, AnimatedBitmapsSaveTheFrameTheyShow) {
    const TestImage frames[3] = {PatternImage(8, 8, 21, true), PatternImage(4, 4, 22, true),
                                 PatternImage(12, 6, 23, true)};
    for (int i = 0; i < 3; ++i) {
        WriteResFile("sizes000" + std::to_string(i) + ".png", EncodePNG(frames[i]));
    }
    zq_bitmap_t* sizes = Get("res://sizes*.png");
    ASSERT_EQ(3, sizes->frame_count);
    for (int step : {2, 1, 0, 3}) {  // 3: frame 1 shown, hibernated, loaded again with frame 0
        SCOPED_TRACE(step);
        ZQ_Graphics_SetBitmapFrame(sizes, step % 3);
        if (step == 3) {
            ZQ_Graphics_SetBitmapCacheMode(sizes, CACHE_NOTHING);
            ZQ_Graphics_SetBitmapCacheMode(sizes, CACHE_PIXELS);
        }
        const TestImage& frame = frames[step == 3 ? 0 : step];
        EXPECT_TRUE(PixelsEqual(sizes, frame));
        for (const char* extension : {".png", ".tga", ".jpg"}) {
            const std::string saved = "res://shown" + std::to_string(step) + extension;
            ASSERT_TRUE(ZQ_Graphics_SaveBitmap(sizes, saved.c_str(), 90));
            const bool jpeg = extension[1] == 'j';
            EXPECT_TRUE(PixelsEqual(Get(saved), jpeg ? DecodeJPEGReference(EncodeJPEG(frame, 90)) : frame))
                << saved;
        }
    }
}

uint32_t BigEndian32(const std::string& bytes, size_t offset) {
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data() + offset);
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

uint16_t LittleEndian16(const std::string& bytes, size_t offset) {
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data() + offset);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}

// A manifest entry without "w" and "h" draws an 8 x 8 image at 32 x 32. Everything that walks the
// pixels goes by the 8 x 8 they are (ASan reports any step past them): saved files are 8 x 8, a
// resize starts from the 8 x 8 pixels, bleeding and comparing see 8 x 8.
TEST_F(BitmapLoadingTest, PixelWorkGoesByThePixelSizeNotTheDrawingSize) {
    TestImage image = PatternImage(8, 8, 9, true);
    image.At(5, 2)[3] = 0;   // one transparent pixel: its left neighbour is the last opaque one
    TestImage bled = image;  // what one bleeding pass makes of it
    memcpy(bled.At(5, 2), image.At(4, 2), 3);
    const std::string png = EncodePNG(image);
    std::string nodes;
    for (const char* name : {"save", "tga", "jpg", "same", "half", "bleed", "match"}) {
        WriteResFile(std::string("small-") + name + ".png", png);
        nodes += std::string("<node id=\"res://small-") + name + ".png\"/>\n";
    }
    AddManifest("small.xml", nodes);
    auto load = [](const char* name) {
        zq_bitmap_t* bitmap = Get(std::string("res://small-") + name + ".png");
        EXPECT_EQ(32, bitmap->width);
        EXPECT_EQ(8, bitmap->pixel_width);
        return bitmap;
    };

    ASSERT_TRUE(ZQ_Graphics_SaveBitmap(load("save"), "res://saved.png", 0));
    const std::string savedPng = ReadNativeFile(NativeResPath("saved.png"));
    ASSERT_GT(savedPng.size(), 24u);
    EXPECT_EQ(8u, BigEndian32(savedPng, 16));  // IHDR width
    EXPECT_EQ(8u, BigEndian32(savedPng, 20));  // IHDR height
    EXPECT_TRUE(PixelsEqual(Get("res://saved.png"), image));

    ASSERT_TRUE(ZQ_Graphics_SaveBitmap(load("tga"), "res://saved.tga", 0));
    const std::string tga = ReadNativeFile(NativeResPath("saved.tga"));
    EXPECT_EQ(18u + 8 * 8 * 4, tga.size());
    EXPECT_EQ(8, LittleEndian16(tga, 12));
    EXPECT_EQ(8, LittleEndian16(tga, 14));

    ASSERT_TRUE(ZQ_Graphics_SaveBitmap(load("jpg"), "res://saved.jpg", 90));
    const TestImage jpeg = DecodeJPEGReference(ReadNativeFile(NativeResPath("saved.jpg")));
    EXPECT_EQ(8, jpeg.width);
    EXPECT_EQ(8, jpeg.height);

    zq_bitmap_t* same = load("same");
    ZQ_Graphics_ResizeBitmap(same, 8, 8);  // the pixels' own size: copied, after a bleeding pass
    EXPECT_EQ(8, same->width);
    EXPECT_TRUE(PixelsEqual(same, bled));
    zq_bitmap_t* half = load("half");
    ZQ_Graphics_ResizeBitmap(half, 4, 4);
    EXPECT_EQ(4, half->width);
    EXPECT_EQ(4, half->pixel_height);

    zq_bitmap_t* bleed = load("bleed");
    EXPECT_EQ(1, BleedTransparentPixels(bleed));
    EXPECT_TRUE(PixelsEqual(bleed, bled));

    zq_bitmap_t plain = {};
    GivePixels(&plain, image);
    EXPECT_TRUE(BitmapPixelsMatch(load("match"), &plain));
    free(plain.pixels);
}

TEST_F(BitmapLoadingTest, NumberedFramesLoadWithGapsAndFreeOnce) {
    std::vector<TestImage> images;
    for (int number : {0, 1, 2, 4}) {
        images.push_back(PatternImage(6 + number, 4, uint32_t(number), true));
        char name[32];
        snprintf(name, sizeof(name), "walk%04d.png", number);
        WriteResFile(name, EncodePNG(images.back()));
    }
    zq_bitmap_t* walk = Get("res://walk*.png");
    ASSERT_EQ(4, walk->frame_count);
    EXPECT_EQ(4, walk->frames[3].current_frame);
    EXPECT_STREQ("res://walk0004.png", walk->frames[3].name);
    EXPECT_TRUE(PixelsEqual(&walk->frames[3], images[3]));
    EXPECT_EQ(walk->frames[0].pixels, walk->pixels);  // frame 0 is shown
    EXPECT_EQ(6, walk->width);
    ZQ_Graphics_SetBitmapFrame(walk, -3);
    EXPECT_EQ(0, walk->current_frame);
    ZQ_Graphics_SetBitmapFrame(walk, 5);
    EXPECT_EQ(1, walk->current_frame);
    EXPECT_EQ(walk->frames[1].pixels, walk->pixels);

    // Hibernating frees each frame's pixels once (the bitmap only shows one of them).
    ZQ_Graphics_SetBitmapCacheMode(walk, CACHE_NOTHING);
    EXPECT_EQ(nullptr, walk->pixels);
    EXPECT_EQ(0, walk->frame_count);
    ZQ_Graphics_SetBitmapCacheMode(walk, CACHE_PIXELS);
    EXPECT_EQ(4, walk->frame_count);

    // More than 5 missing numbers end the search, unless two found frames had a gap between them.
    WriteResFile("far0000.png", EncodePNG(images[0]));
    WriteResFile("far0007.png", EncodePNG(images[0]));
    EXPECT_EQ(1, Get("res://far*.png")->frame_count);
    WriteResFile("gap0002.png", EncodePNG(images[0]));
    WriteResFile("gap0000.png", EncodePNG(images[0]));
    WriteResFile("gap0090.png", EncodePNG(images[0]));
    EXPECT_EQ(3, Get("res://gap*.png")->frame_count);

    // A file that does not decode is skipped; with nothing decodable the load fails and ends.
    WriteResFile("bad0000.png", "not a png");
    WriteResFile("bad0001.png", EncodePNG(images[0]));
    EXPECT_EQ(1, Get("res://bad*.png")->frame_count);
    WriteResFile("junk0000.png", "not a png");
    EXPECT_EQ(0, Get("res://junk*.png")->frame_count);
    EXPECT_TRUE(Logged("Bitmap files 'res://junk*.png' not found."));
    EXPECT_EQ(0, Get("res://" + std::string(600, 'n') + "*.png")->frame_count);
    EXPECT_TRUE(Logged("is too long."));
}

TEST_F(BitmapLoadingTest, SequencesAreBuiltFromNumberedSources) {
    std::filesystem::create_directories(NativeResPath("data"));
    ZQ_FileSystem_AddSearchPath("res://", false);
    const TestImage images[3] = {PatternImage(8, 8, 1, true), PatternImage(8, 8, 2, true),
                                 PatternImage(8, 8, 3, true)};
    const int order[4] = {0, 1, 0, 2};
    for (int i = 0; i < 4; ++i) {
        char name[32];
        snprintf(name, sizeof(name), "anim_%04d.png", i);
        WriteResFile(name, EncodePNG(images[order[i]]));
    }
    zq_bitmap_t* anim = Get("anim.bms");
    EXPECT_TRUE(Logged("Optimizing sequence 'anim.bms'..."));
    EXPECT_TRUE(Logged("Frames #0002 and #0000 match."));
    EXPECT_TRUE(Logged("Saved 0.00MB by removing similar frames from sequence anim.bms."));
    ASSERT_EQ(4, anim->frame_count);
    ASSERT_NE(nullptr, anim->atlas);
    EXPECT_EQ(anim->frames[0].gpu.texture_left, anim->frames[2].gpu.texture_left);
    EXPECT_NE(anim->frames[0].gpu.texture_left, anim->frames[1].gpu.texture_left);
    EXPECT_EQ(BITMAP_LOADED, anim->frames[3].load_state);
    EXPECT_NE("", ReadNativeFile(NativeResPath("data/anim.bms")));
}

class HttpImageTest : public BitmapLoadingTest {
protected:
    static std::string CacheFile(const std::string& url) {
        char name[512];
        ZQI_GetHttpCacheName(name, sizeof(name), url.c_str());
        return name;
    }
};

// The cache scheme's slot, for as long as it lives, holds a native system that calls opened()
// right after each opening of a file for writing (what a reader would find if the writer
// stopped), and renaming() right before each rename.
class ScopedWriteWatch : public ZQFileSystem::WindowsPOSIXSystem {
public:
    explicit ScopedWriteWatch(
        const std::function<void()>& opened, const std::function<void()>& renaming = [] {})
        : WindowsPOSIXSystem(false),
          opened_(opened),
          renaming_(renaming),
          saved_(ZQI_GetFileSystem(SCHEME_CACHE)) {
        ZQI_SetFileSystem(SCHEME_CACHE, this);
    }
    ~ScopedWriteWatch() override { ZQI_SetFileSystem(SCHEME_CACHE, saved_); }

    ZQFileSystem::File* OpenFile(SchemeId scheme, const char* nativePath,
                                 ZQFileSystem::FileMode mode) override {
        ZQFileSystem::File* file = WindowsPOSIXSystem::OpenFile(scheme, nativePath, mode);
        if (mode == ZQFileSystem::FILE_MODE_WRITE) {
            opened_();
        }
        return file;
    }
    bool ReplaceFile(SchemeId scheme, const char* source, const char* target, bool exchange) override {
        renaming_();
        return WindowsPOSIXSystem::ReplaceFile(scheme, source, target, exchange);
    }

private:
    std::function<void()> opened_;
    std::function<void()> renaming_;
    ZQFileSystem::System* saved_;
};

TEST_F(HttpImageTest, DownloadedOnceIntoTheCache) {
    const TestImage image = PatternImage(7, 5, 1, false);
    const std::string png = EncodePNG(image);
    TestHttpServer server(
        {{HttpAnswer("HTTP/1.0 200 OK", {"Content-Length: " + std::to_string(png.size())}, png)}});
    ASSERT_TRUE(server.IsListening());
    const std::string url = server.Url("/pics/a.png");
    zq_bitmap_t* bitmap = Get(url);
    EXPECT_TRUE(PixelsEqual(bitmap, image));
    EXPECT_EQ("cache://http___127.0.0.1_" + std::to_string(server.Port()) + "_pics_a.png", CacheFile(url));
    EXPECT_TRUE(Logged("Done downloading " + std::to_string(png.size()) + " bytes for '" + url + "'"));
    // Reloading reads the cache file: the server has no second answer.
    ZQ_Graphics_SetBitmapCacheMode(bitmap, CACHE_NOTHING);
    ZQ_Graphics_SetBitmapCacheMode(bitmap, CACHE_PIXELS);
    EXPECT_TRUE(PixelsEqual(bitmap, image));
    EXPECT_EQ(1u, server.Requests().size());
}

// Every load serves the cache file as the image, so it must never be seen cut, even halfway through.
TEST_F(HttpImageTest, TheCacheFileOnlyEverAppearsComplete) {
    const TestImage image = PatternImage(9, 7, 2, false);
    const std::string png = EncodePNG(image);
    TestHttpServer server(
        {{HttpAnswer("HTTP/1.0 200 OK", {"Content-Length: " + std::to_string(png.size())}, png)}});
    const std::string url = server.Url("/pics/whole.png");
    const std::string cacheFile = NativeCachePath(CacheFile(url).substr(strlen("cache://")));
    int writes = 0;
    ScopedWriteWatch watch([&] {
        ++writes;
        EXPECT_FALSE(std::filesystem::exists(cacheFile)) << "the cache file is there before it is whole";
    });
    EXPECT_TRUE(PixelsEqual(Get(url), image));
    EXPECT_EQ(1, writes);
    EXPECT_EQ(png, ReadNativeFile(cacheFile));
}

#if defined(_WIN32)
// A rename that reaches the disk before the data would leave, after a power cut, an empty or cut
// cache file that every later load serves as the image.
TEST_F(HttpImageTest, TheCacheFileIsOnTheDiskBeforeItTakesItsName) {
    const std::string png = EncodePNG(PatternImage(5, 3, 4, false));
    TestHttpServer server(
        {{HttpAnswer("HTTP/1.0 200 OK", {"Content-Length: " + std::to_string(png.size())}, png)}});
    EngineTest::ScopedDiskCommitCounter commits;
    ASSERT_GT(commits.RedirectedEntries(), 0);
    std::vector<int> commitsAtRename;
    ScopedWriteWatch watch([] {}, [&] { commitsAtRename.push_back(commits.Count()); });
    EXPECT_NE(nullptr, Get(server.Url("/pics/committed.png"))->pixels);
    EXPECT_EQ(std::vector<int>{1}, commitsAtRename);
    EXPECT_EQ(1, commits.Count());
}
#endif

// Servers commonly send "X-Content-Type-Options" before "Content-Type". The fields are read from
// the bytes the server sent: a NUL in an earlier field hides none, a type cut by a bare CR is no
// type, and a folded one (HTTP/1.0) or one ending in "\r\r\n" (a text-mode stream) is the type.
TEST_F(HttpImageTest, HeaderFieldsAreFoundByTheirWholeNames) {
    const TestImage image = PatternImage(4, 5, 6, true);
    const std::string png = EncodePNG(image);
    const std::string kilobyte(1024, 'k');
    TestHttpServer server(
        {{HttpAnswer("HTTP/1.0 200 OK", {"X-Content-Type-Options: nosniff", "content-type: image/png"}, png)},
         {HttpAnswer("HTTP/1.0 200 OK", {"X-Content-Length: 4096", "Content-Length: 2048"}, kilobyte)},
         {HttpAnswer("HTTP/1.0 200 OK", {std::string("X-Note: a\0b", 11), "Content-Type: image/png"}, png)},
         {HttpAnswer("HTTP/1.0 200 OK", {"Content-Type: image/png\rtext/html"}, png)},
         {HttpAnswer("HTTP/1.0 200 OK", {"Content-Type: image/png;", " charset=binary"}, png)},
         {"HTTP/1.0 200 OK\r\r\nContent-Type: image/png\r\r\n\r\r\n" + png}});
    ASSERT_TRUE(server.IsListening());
    EXPECT_TRUE(PixelsEqual(Get(server.Url("/typed")), image));
    EXPECT_EQ(nullptr, Get(server.Url("/half.png"))->pixels);
    EXPECT_TRUE(Logged("Download not complete (50% of 2.0KB done, ret -8). Not saving."));
    EXPECT_TRUE(PixelsEqual(Get(server.Url("/after-a-nul")), image));
    EXPECT_EQ(nullptr, Get(server.Url("/cut-type"))->pixels);
    EXPECT_TRUE(Logged("ZQI_LoadBitmapHTTP: Unknown image type. Header:"));
    EXPECT_TRUE(PixelsEqual(Get(server.Url("/folded")), image));
    EXPECT_TRUE(PixelsEqual(Get(server.Url("/text-mode")), image));
}

TEST_F(HttpImageTest, ContentTypeNamesFilesWithoutExtension) {
    const TestImage image = PatternImage(6, 6, 3, true);
    const std::string jpeg = EncodeJPEG(image, 90);
    TestHttpServer server({{HttpAnswer("HTTP/1.0 200 OK", {"Content-Type: image/jpeg"}, jpeg)},
                           {HttpAnswer("HTTP/1.0 200 OK", {}, jpeg)},
                           {HttpAnswer("HTTP/1.0 200 OK", {"Content-Type: text/html"}, "<html>")},
                           {HttpAnswer("HTTP/1.0 404 Not Found", {}, "gone")}});
    ASSERT_TRUE(server.IsListening());
    zq_bitmap_t* avatar = Get(server.Url("/avatar"));
    EXPECT_TRUE(PixelsEqual(avatar, DecodeJPEGReference(jpeg)));
    EXPECT_EQ(jpeg, ReadNativeFile(NativeCachePath(CacheFile(server.Url("/avatar")).substr(8) + ".jpg")));
    EXPECT_EQ(nullptr, Get(server.Url("/untyped"))->pixels);
    EXPECT_TRUE(Logged("ZQI_LoadBitmapHTTP: No Content-Type defined in header:"));
    EXPECT_EQ(nullptr, Get(server.Url("/page"))->pixels);
    EXPECT_TRUE(Logged("ZQI_LoadBitmapHTTP: Unknown image type. Header:"));
    EXPECT_EQ(nullptr, Get(server.Url("/gone.png"))->pixels);
    EXPECT_TRUE(Logged("Download not complete (0% of 0.0KB done, ret 404). Not saving."));
    EXPECT_EQ(nullptr, Get(server.Url("/frames*.png"))->pixels);
    EXPECT_TRUE(Logged("Asterisk character ('*') isn't allowed in http:// url file names such as"));
}

}  // namespace
