// Loading onto the real device: uploads at once on the main thread, through the queues from other
// threads (at most 10 a frame), deferred frees, the renderer's stop and start, and regaining a
// renderer that went missing.
#include <chrono>
#include <cstring>
#include <thread>

#include "DrawingTestSupport.h"
#include "core/CoreState.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapSequence.h"
#include "graphics/BitmapUpload.h"
#include "graphics/GraphicsResourceApi.h"

namespace {

class BitmapUploadTest : public DeviceTest {
protected:
    // Gets each name on a thread of its own, as a program's loading thread would.
    static std::vector<zq_bitmap_t*> GetOnWorker(const std::vector<std::string>& names) {
        std::vector<zq_bitmap_t*> bitmaps;
        std::thread worker([&] {
            for (const std::string& name : names) {
                bitmaps.push_back(ZQ_Graphics_GetBitmap(name.c_str()));
            }
        });
        worker.join();
        return bitmaps;
    }
    int CountLoaded(const std::vector<zq_bitmap_t*>& bitmaps) {
        int loaded = 0;
        for (zq_bitmap_t* bitmap : bitmaps) {
            loaded += bitmap->gpu.loaded && bitmap->gpu.texture != nullptr;
        }
        return loaded;
    }
};

TEST_F(BitmapUploadTest, ElevenFromAWorkerUploadOverTwoFrames) {
    std::vector<std::string> names;
    for (int i = 0; i < 11; ++i) {
        names.push_back(
            WriteResFile("queued" + std::to_string(i) + ".png", EncodePNG(PatternImage(4, 4, i, true))));
    }
    const std::vector<zq_bitmap_t*> bitmaps = GetOnWorker(names);
    EXPECT_EQ(11, ZQI_GetQueuedBitmapCount());
    EXPECT_EQ(0, CountLoaded(bitmaps));
    EXPECT_NE(nullptr, bitmaps[10]->pixels);  // kept until uploaded
    ZQI_ProcessBitmapResourceQueues();
    EXPECT_EQ(10, CountLoaded(bitmaps));
    EXPECT_EQ(1, ZQI_GetQueuedBitmapCount());
    EXPECT_EQ(nullptr, bitmaps[0]->pixels);  // CACHE_TEXTURE: dropped once on the GPU
    ZQI_ProcessBitmapResourceQueues();
    EXPECT_EQ(11, CountLoaded(bitmaps));
    EXPECT_EQ(0, ZQI_GetQueuedBitmapCount());

    // Freed from another thread: the textures wait for the frame.
    std::thread([&] { ZQ_Graphics_SetBitmapCacheMode(bitmaps[3], CACHE_NOTHING); }).join();
    EXPECT_FALSE(bitmaps[3]->gpu.loaded);
    EXPECT_EQ(1, ZQI_GetDeferredTextureFreeCount());
    ZQI_ProcessBitmapResourceQueues();
    EXPECT_EQ(0, ZQI_GetDeferredTextureFreeCount());
}

TEST_F(BitmapUploadTest, ReleasedBeforeTheFrameIsNotValidAnymore) {
    const std::string name = WriteResFile("released.png", EncodePNG(PatternImage(4, 4, 1, true)));
    zq_bitmap_t* bitmap = GetOnWorker({name})[0];
    ZQ_Graphics_SetBitmapCacheMode(bitmap, CACHE_NOTHING);  // hibernated while queued
    ZQI_ProcessBitmapResourceQueues();
    EXPECT_TRUE(
        Logged("[ZQI_ProcessBitmapResourceQueues] Data of bitmap 'res://released.png' is not valid "
               "anymore. Most likely it has just been released."));
    EXPECT_FALSE(bitmap->gpu.loaded);
    EXPECT_EQ(0, ZQI_GetQueuedBitmapCount());

    // Render targets asked for off the main thread are made by the frame.
    zq_bitmap_t target = {};
    target.name = const_cast<char*>("queued target");
    target.format = ZQ_TEXTURE_FORMAT_RGBA8;
    target.type = ZQ_TEXTURE_TYPE_2D;
    target.pixel_width = target.pixel_height = 8;
    target.depth = target.mip_levels = 1;
    target.flags = BITMAP_FLAG_RENDER_TARGET;
    std::thread([&] { QueueBitmapCreation(&target); }).join();
    EXPECT_FALSE(target.gpu.loaded);
    ZQI_ProcessBitmapResourceQueues();
    EXPECT_TRUE(target.gpu.loaded);
    EXPECT_NE(nullptr, target.gpu.texture->targetViews[0]);
    ZQI_CallRendererToFreeBitmap(&target.gpu);
}

TEST_F(BitmapUploadTest, StopAndStartRestoreLiveTextures) {
    const TestImage image = PatternImage(4, 4, 3, true);
    zq_bitmap_t* live = ZQ_Graphics_GetBitmap(WriteResFile("live.png", EncodePNG(image)).c_str());
    zq_bitmap_t* hibernated = ZQ_Graphics_GetBitmap(WriteResFile("asleep.png", EncodePNG(image)).c_str());
    ASSERT_TRUE(live->gpu.loaded);  // the main thread uploads at once
    hibernated->reference_count = 0;
    ZQ_Graphics_SetBitmapCacheMode(hibernated, CACHE_NOTHING);

    ZQI_FreeBitmapGpuData();
    EXPECT_FALSE(live->gpu.loaded);
    renderer_->Release();
    ASSERT_TRUE(renderer_->Initialize(WindowedPlatform(window_->handle())));
    ZQI_RecreateLiveBitmaps();
    ASSERT_TRUE(live->gpu.loaded);
    EXPECT_FALSE(hibernated->gpu.loaded);
    const std::vector<uint8_t> texels = ReadTexels(renderer_, live->gpu.texture->texture);
    EXPECT_EQ(0, memcmp(texels.data(), image.rgba.data(), image.rgba.size()));
}

TEST_F(BitmapUploadTest, SequenceFramesShareTheirAtlasTexture) {
    zq_bitmap_t frames = {};
    frames.frames = ZQI_NewBitmapRecords(3);
    frames.frame_count = 3;
    for (int i = 0; i < 3; ++i) {
        GivePixels(&frames.frames[i], PatternImage(5, 5, i, true));
    }
    ASSERT_TRUE(ZQI_SaveBitmapSequence(&frames, NativeResPath("shared.bms").c_str()));
    FreeBitmapFrames(&frames);
    zq_bitmap_t* sequence = ZQ_Graphics_GetBitmap("res://shared.bms");
    ASSERT_EQ(3, sequence->frame_count);
    ASSERT_TRUE(sequence->atlas->gpu.loaded);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sequence->atlas->gpu.texture, sequence->frames[i].gpu.texture);
        EXPECT_TRUE(sequence->frames[i].gpu.loaded);
    }
    EXPECT_EQ(sequence->frames[0].gpu.texture_left, sequence->gpu.texture_left);
    ZQ_Graphics_SetBitmapFrame(sequence, 2);
    EXPECT_EQ(sequence->frames[2].gpu.texture_left, sequence->gpu.texture_left);
    ZQ_Graphics_SetBitmapCacheMode(sequence, CACHE_NOTHING);  // the atlas texture goes once
    EXPECT_EQ(nullptr, sequence->gpu.texture);
    EXPECT_EQ(nullptr, sequence->atlas);
}

TEST_F(BitmapUploadTest, AMissingRendererIsWaitedForTenTimes) {
    zq_bitmap_t bitmap = {};
    bitmap.name = const_cast<char*>("waiting");
    bitmap.type = ZQ_TEXTURE_TYPE_2D;
    bitmap.mip_levels = 1;
    GivePixels(&bitmap, PatternImage(4, 4, 1, true));
    g_core.renderer = nullptr;
    const auto start = std::chrono::steady_clock::now();
    UploadBitmapToRenderer(&bitmap);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_TRUE(Logged("Renderer implementation lost, trying to regain..."));
    EXPECT_FALSE(Logged("Renderer reclaimed"));
    EXPECT_FALSE(bitmap.gpu.loaded);

    // Back within the tries: the upload goes ahead.
    std::thread restore([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        g_core.renderer = renderer_;
    });
    UploadBitmapToRenderer(&bitmap);
    restore.join();
    EXPECT_TRUE(Logged("Renderer reclaimed at try #"));
    EXPECT_TRUE(bitmap.gpu.loaded);
    ZQI_CallRendererToFreeBitmap(&bitmap.gpu);
    free(bitmap.pixels);
}

}  // namespace
