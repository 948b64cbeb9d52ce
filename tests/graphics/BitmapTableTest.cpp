// The bitmap table: finding and taking slots, reference counts in get and load mode, names, the
// cache-mode rules on loaded pixels, the description check, and concurrent gets of one name.
#include <atomic>
#include <thread>
#include <vector>

#include "GraphicsTestSupport.h"
#include "core/MemoryStatistics.h"
#include "data/DataManager.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapTable.h"
#include "graphics/BitmapUpload.h"
#include "graphics/GraphicsResourceApi.h"
#include "startup/Manifest.h"
#include "startup/ManifestList.h"

namespace {

class BitmapTableTest : public GraphicsTest {};

TEST_F(BitmapTableTest, LookupOnlyFindsWithoutTakingSlots) {
    EXPECT_EQ(nullptr, ZQ_Graphics_GetBitmapWithCacheMode("never.png", CACHE_LOOKUP_ONLY));
    EXPECT_EQ(0, ZQ_Graphics_GetNumBitmaps());
    zq_bitmap_t* made = ZQ_Graphics_GetBitmapWithCacheMode("some.png", CACHE_NOTHING);
    ASSERT_NE(nullptr, made);
    EXPECT_EQ(made, ZQ_Graphics_LoadBitmap("some.png", CACHE_LOOKUP_ONLY));
    EXPECT_EQ(0, made->reference_count);  // mode 0 keeps nothing, not even a reference
    EXPECT_EQ(BITMAP_NOT_LOADED, made->load_state);
}

TEST_F(BitmapTableTest, GetCountsOnceLoadCountsEveryCallUpTo4096) {
    const TestImage image = PatternImage(4, 4, 1, true);
    WriteResFile("counted.png", EncodePNG(image));
    zq_bitmap_t* got = ZQ_Graphics_GetBitmapWithCacheMode("res://counted.png", CACHE_PIXELS);
    ASSERT_NE(nullptr, got);
    EXPECT_EQ(1, got->reference_count);
    EXPECT_EQ(0, got->flags & BITMAP_FLAG_GET_COUNTED);
    EXPECT_EQ(got, ZQ_Graphics_GetBitmapWithCacheMode("res://counted.png", CACHE_PIXELS));
    EXPECT_EQ(2, got->reference_count);
    EXPECT_NE(0, got->flags & BITMAP_FLAG_GET_COUNTED);
    ZQ_Graphics_GetBitmapWithCacheMode("res://counted.png", CACHE_PIXELS);
    EXPECT_EQ(2, got->reference_count);
    EXPECT_TRUE(PixelsEqual(got, image));

    WriteResFile("loaded.png", EncodePNG(image));
    zq_bitmap_t* loaded = ZQ_Graphics_LoadBitmap("res://loaded.png", CACHE_PIXELS);
    ZQ_Graphics_LoadBitmap("res://loaded.png", CACHE_PIXELS);
    EXPECT_EQ(2, loaded->reference_count);
    for (int i = 0; i < 4100; ++i) {
        ZQ_Graphics_LoadBitmap("res://loaded.png", CACHE_PIXELS);
    }
    EXPECT_EQ(4096, loaded->reference_count);
    EXPECT_TRUE(Logged("Bitmap 'res://loaded.png' reference count suspiciously high: capping at 4096."));
}

TEST_F(BitmapTableTest, NamesDecideSlotTypeAndMipLevels) {
    zq_bitmap_t* plain = ZQ_Graphics_GetBitmapWithCacheMode("a.png", CACHE_NOTHING);
    EXPECT_EQ(plain, ZQ_Graphics_GetBitmapWithCacheMode("/a.png", CACHE_NOTHING));
    EXPECT_EQ(1, CountLogged("name path starting with '/' is not allowed."));
    EXPECT_EQ(plain, ZQ_Graphics_GetBitmapWithCacheMode("//a.png", CACHE_NOTHING));
    EXPECT_EQ(1, CountLogged("Bitmap '//a.png' name path starting with '/' is not allowed."));
    EXPECT_EQ(3, CountLogged("name path starting with '/' is not allowed."));
    EXPECT_STREQ("!NONE", ZQ_Graphics_GetBitmapWithCacheMode(nullptr, CACHE_NOTHING)->name);
    EXPECT_EQ(1, plain->mip_levels);
    EXPECT_EQ(0, ZQ_Graphics_GetBitmapWithCacheMode("art/textures/wall.png", CACHE_NOTHING)->mip_levels);

    const struct {
        const char* name;
        uint32_t type;
    } kTypes[] = {{"sky_CUBE.png", ZQ_TEXTURE_TYPE_CUBE}, {"a_2D.b_3D.png", ZQ_TEXTURE_TYPE_3D},
                  {"a_3D.b.png", ZQ_TEXTURE_TYPE_2D},     {"vol_3D.tga", ZQ_TEXTURE_TYPE_3D},
                  {"CUBE.png", ZQ_TEXTURE_TYPE_2D},       {"x_CUBE", ZQ_TEXTURE_TYPE_2D}};
    for (const auto& entry : kTypes) {
        EXPECT_EQ(entry.type, ZQI_GetBitmapTypeFromName(entry.name)) << entry.name;
    }
}

TEST_F(BitmapTableTest, AFullTableRefusesNewNamesAndReusesFreedSlots) {
    char name[32];
    for (int i = 0; i < ZQI_BITMAP_TABLE_SIZE; ++i) {
        snprintf(name, sizeof(name), "slot%d", i);
        ASSERT_NE(nullptr, ZQ_Graphics_GetBitmapWithCacheMode(name, CACHE_NOTHING));
    }
    EXPECT_EQ(3072, ZQ_Graphics_GetNumBitmaps());
    EXPECT_EQ(nullptr, ZQ_Graphics_GetBitmapWithCacheMode("one.too.many", CACHE_NOTHING));
    EXPECT_TRUE(Logged(" ! Zorqa out of free bitmaps."));
    zq_bitmap_t* freed = ZQI_GetBitmapSlot(1000);
    ZQI_FreeBitmapSlot(freed);
    zq_bitmap_t* reused = ZQ_Graphics_GetBitmapWithCacheMode("one.too.many", CACHE_NOTHING);
    EXPECT_EQ(freed, reused);
    EXPECT_EQ(1000u, reused->slot);
    EXPECT_EQ(3072, ZQ_Graphics_GetNumBitmaps());
}

// Freeing a record for good lowers the busy flag its freer holds before the slot can be taken: a
// new name that takes the slot at once then holds a flag of its own, which the freer's release
// cannot clear under it.
TEST_F(BitmapTableTest, AFreedSlotIsNotLeftBusy) {
    zq_bitmap_t* bitmap = ZQ_Graphics_GetBitmapWithCacheMode("busy.png", CACHE_NOTHING);
    ZQI_AcquireBitmapBusy(bitmap);
    ZQI_FreeBitmapSlot(bitmap);
    EXPECT_EQ(nullptr, bitmap->name);
    EXPECT_EQ(0, bitmap->busy);
    zq_bitmap_t* next = nullptr;
    std::thread([&next] { next = ZQ_Graphics_GetBitmapWithCacheMode("next.png", CACHE_NOTHING); }).join();
    EXPECT_EQ(bitmap, next);
    EXPECT_EQ(0, next->busy);
}

TEST_F(BitmapTableTest, CacheModesKeepAndDropPixels) {
    const TestImage image = PatternImage(3, 5, 2, false);
    WriteResFile("modes.tga", EncodeTGA(image, false, 32, false));
    zq_bitmap_t* bitmap = ZQ_Graphics_GetBitmapWithCacheMode("res://modes", CACHE_PIXELS);
    ASSERT_TRUE(PixelsEqual(bitmap, image));
    EXPECT_STREQ("res://modes.tga", bitmap->source_file);
    EXPECT_EQ(BITMAP_LOADED, bitmap->load_state);

    ZQ_Graphics_SetBitmapCacheMode(bitmap, CACHE_NOTHING);  // hibernated: nothing held, slot kept
    EXPECT_EQ(nullptr, bitmap->pixels);
    EXPECT_EQ(BITMAP_NOT_LOADED, bitmap->load_state);
    EXPECT_STREQ("res://modes", bitmap->name);
    ZQ_Graphics_SetBitmapCacheMode(bitmap, CACHE_PIXELS);  // reloads
    EXPECT_TRUE(PixelsEqual(bitmap, image));
    MemoryEstimates estimates = {};
    ZQI_AddBitmapMemoryEstimates(&estimates);
    EXPECT_EQ(3u * 5u * 4u, estimates.systemBytes);  // pixels only, nothing on a GPU
    EXPECT_EQ(0u, estimates.gpuBytes);

    // Asked for from another thread, the texture waits for the frame, and so do the pixels.
    std::thread([bitmap] { ZQ_Graphics_SetBitmapCacheMode(bitmap, CACHE_TEXTURE); }).join();
    EXPECT_EQ(CACHE_TEXTURE, bitmap->cache_mode);
    EXPECT_NE(nullptr, bitmap->pixels);
    EXPECT_EQ(1, ZQI_GetQueuedBitmapCount());

    zq_bitmap_t made = {};
    made.name = const_cast<char*>("made");
    ZQ_Graphics_SetBitmapCacheMode(&made, CACHE_PIXELS);
    EXPECT_TRUE(Logged("Bitmap 'made' not reloadable, can't change cache mode."));
}

TEST_F(BitmapTableTest, DescriptionCheck) {
    struct Case {
        uint32_t format, type;
        int32_t depth, width, height;
        uint8_t flags;
        bool passes;
        const char* message;
    };
    const Case kCases[] = {
        {ZQ_TEXTURE_FORMAT_D24_FLOAT, ZQ_TEXTURE_TYPE_CUBE, 1, 4, 24, 0, false,
         "supported with 2D textures only"},
        {ZQ_TEXTURE_FORMAT_RGBA8, ZQ_TEXTURE_TYPE_3D, 4, 8, 8, 0, true, nullptr},
        {ZQ_TEXTURE_FORMAT_RGBA8, ZQ_TEXTURE_TYPE_2D, 2, 8, 8, 0, false, "must have depth of 1."},
        {ZQ_TEXTURE_FORMAT_RGBA8, ZQ_TEXTURE_TYPE_CUBE, 1, 8, 48, 0, true, nullptr},
        {ZQ_TEXTURE_FORMAT_RGBA8, ZQ_TEXTURE_TYPE_CUBE, 1, 8, 8, BITMAP_FLAG_RENDER_TARGET, true, nullptr},
        {ZQ_TEXTURE_FORMAT_RGBA8, ZQ_TEXTURE_TYPE_CUBE, 1, 8, 40, 0, false, "do not match."},
        {ZQ_TEXTURE_FORMAT_RGBA8, ZQ_TEXTURE_TYPE_CUBE, 1, 6, 36, 0, false,
         "must have power of two dimensions."},
    };
    for (const Case& c : kCases) {
        zq_bitmap_t bitmap = {};
        bitmap.name = const_cast<char*>("described");
        bitmap.format = c.format;
        bitmap.type = c.type;
        bitmap.depth = c.depth;
        bitmap.pixel_width = c.width;
        bitmap.pixel_height = c.height;
        bitmap.flags = c.flags;
        EXPECT_EQ(c.passes, CheckBitmapDescription(&bitmap)) << c.width << "x" << c.height;
        if (c.message != nullptr) {
            EXPECT_TRUE(Logged(c.message)) << c.message;
        }
    }
}

TEST_F(BitmapTableTest, ConcurrentGetsOfOneNameShareOneSlotAndOneDecode) {
    const TestImage image = PatternImage(64, 64, 3, true);
    WriteResFile("shared.png", EncodePNG(image));
    WriteResFile(
        "shared-manifest.xml",
        "<?xml version=\"1.0\"?>\n<root>\n<array id=\"BITMAPS\">\n"
        "<node id=\"res://shared.png\" w=\"64\" h=\"64\" pack_mode=\"PAD_EXPAND\"/>\n</array>\n</root>\n");
    ZQI_AddManifest("res://shared-manifest.xml");
    std::vector<std::thread> threads;
    std::vector<zq_bitmap_t*> results(8, nullptr);
    std::atomic<int> ready(0);
    for (size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&, i] {
            ++ready;
            while (ready < int(results.size())) {
            }
            results[i] = ZQ_Graphics_LoadBitmap("res://shared.png", CACHE_PIXELS);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    ZQI_ReleaseManifest();
    DataManager::UnloadDatabaseByName("res://shared-manifest.xml");
    for (zq_bitmap_t* result : results) {
        EXPECT_EQ(results[0], result);
    }
    EXPECT_EQ(1, ZQ_Graphics_GetNumBitmaps());
    EXPECT_EQ(8, results[0]->reference_count);
    EXPECT_TRUE(PixelsEqual(results[0], image));
    EXPECT_EQ(PAD_EXPAND, results[0]->pack_mode);
    EXPECT_EQ(1, CountLogged("Using pack mode 'PAD_EXPAND'"));  // printed once per decode
}

}  // namespace
