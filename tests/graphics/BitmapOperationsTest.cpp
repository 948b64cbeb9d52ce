// The bitmap slots of the graphics sub-table without a GPU: creating again and clamping, counts
// that stay within 0..4096 and their popups, removal, render targets that are bound, read-back and
// saving without data, source rectangles and handles.
#include "RecordingDevice.h"
#include "core/Features.h"
#include "graphics/BitmapOperations.h"
#include "graphics/BitmapTable.h"
#include "graphics/Drawing.h"
#include "graphics/GraphicsResourceApi.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/RendererState.h"

namespace {

using BitmapOperationsTest = DrawingTest;

zq_bitmap_desc_t Description(int32_t width, int32_t height, bool target) {
    zq_bitmap_desc_t desc = {};
    desc.format = ZQ_TEXTURE_FORMAT_RGBA8;
    desc.type = ZQ_TEXTURE_TYPE_2D;
    desc.mip_levels = 1;
    desc.width = width;
    desc.height = height;
    desc.depth = 1;
    desc.render_target = target ? 1 : 0;
    return desc;
}

TEST_F(BitmapOperationsTest, CreatingAgainCountsAndResizesAndTooLargeSizesAreClamped) {
    const zq_bitmap_desc_t eight = Description(8, 8, false);
    zq_bitmap_t* plain = ZQ_Graphics_CreateBitmap("plain", &eight);
    ASSERT_NE(nullptr, plain->pixels);
    memset(plain->pixels, 0x80, 8 * 8 * 4);
    const zq_bitmap_desc_t four = Description(4, 4, false);
    EXPECT_EQ(plain, ZQ_Graphics_CreateBitmap("plain", &four));
    EXPECT_EQ(2, plain->reference_count);
    EXPECT_EQ(4, plain->width);
    EXPECT_EQ(4, plain->pixel_height);
    EXPECT_EQ(0x80, plain->pixels[4 * 4 * 4 - 1]);
    EXPECT_EQ(NO_PADDING, plain->pack_mode);
    const zq_bitmap_desc_t huge = Description(20000, 10, false);
    zq_bitmap_t* clamped = ZQ_Graphics_CreateBitmap("huge", &huge);
    EXPECT_EQ(16384, clamped->width);
    EXPECT_EQ(10, clamped->height);
    EXPECT_EQ(
        1,
        CountLogged("[POPUP] ZQ_Graphics_CreateBitmap: bitmap 'huge' has too large dimension(s) (20000, 10), "
                    "each dimension is clamped to 16384."));
    // An existing render target asked for with other parameters is reported and kept.
    const zq_bitmap_desc_t target = Description(16, 16, true);
    zq_bitmap_t* rendered = ZQ_Graphics_CreateBitmap("target", &target);
    zq_bitmap_desc_t other = target;
    other.format = ZQ_TEXTURE_FORMAT_RGBX8;
    EXPECT_EQ(rendered, ZQ_Graphics_CreateBitmap("target", &other));
    EXPECT_EQ(1,
              CountLogged("[POPUP] ZQ_Graphics_CreateBitmap(): render target 'target' already exists and has "
                          "different parameters than the parameters passed to the function."));
}

TEST_F(BitmapOperationsTest, ReleasingTooOftenShowsItsPopupsUnlessTheProgramAskedForNone) {
    for (bool quiet : {false, true}) {
        ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE,
                           quiet ? "DISABLE_REFERENCE_COUNT_ERROR_POPUPS" : nullptr);
        const std::string name = quiet ? "quiet.png" : "counted.png";
        WriteResFile(name, EncodePNG(PatternImage(4, 4, 7, true)));
        // The second get counts the get-mode reference (count 2); releases take it to 1, 0 and below.
        ZQ_Graphics_GetBitmapWithCacheMode(("res://" + name).c_str(), CACHE_PIXELS);
        zq_bitmap_t* bitmap = ZQ_Graphics_GetBitmapWithCacheMode(("res://" + name).c_str(), CACHE_PIXELS);
        for (int i = 0; i < 3; ++i) {
            ZQ_Graphics_ReleaseBitmap(bitmap);
        }
        EXPECT_EQ(0, bitmap->reference_count);
        EXPECT_NE(nullptr, bitmap->name);  // hibernated, not freed
        EXPECT_EQ(quiet ? 0 : 1, CountLogged("Releasing bitmap 'res://" + name + "' too many times"));
        EXPECT_EQ(quiet ? 0 : 1,
                  CountLogged("[POPUP] Bitmap 'res://" + name + "' reference count less than zero."));
    }
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, nullptr);
}

TEST_F(BitmapOperationsTest, CountsStayWithinZeroAnd4096AndRemovalFreesTheSlot) {
    const zq_bitmap_desc_t desc = Description(2, 2, false);
    zq_bitmap_t* bitmap = ZQ_Graphics_CreateBitmap("counts", &desc);
    const int16_t many = 4000, fewer = -9000, one = 1;
    ZQ_Graphics_IncreaseBitmapReferenceCount(bitmap, &many);
    ZQ_Graphics_IncreaseBitmapReferenceCount(bitmap, &many);
    EXPECT_EQ(4096, bitmap->reference_count);
    ZQ_Graphics_IncreaseBitmapReferenceCount(bitmap, &fewer);
    EXPECT_EQ(0, bitmap->reference_count);
    ZQ_Graphics_IncreaseBitmapReferenceCount(bitmap, &one);
    EXPECT_EQ(1, CountLogged("[POPUP] Trying to increase bitmap 'counts' reference count from 0 to 1."));
    const int32_t slot = static_cast<int32_t>(bitmap->slot);
    EXPECT_EQ(bitmap, ZQ_Graphics_GetBitmapFromHandle(&slot));
    ZQ_Graphics_IncreaseBitmapReferenceCount(bitmap, &one);
    ZQ_Graphics_RemoveBitmapHandle(bitmap);
    EXPECT_EQ(1,
              CountLogged(
                  "ZQ_Graphics_RemoveBitmapHandle: bitmap 'counts' is not fully release before this call."));
    EXPECT_EQ(nullptr, bitmap->name);
    EXPECT_EQ(nullptr, ZQ_Graphics_GetBitmapFromHandle(&slot));
    const int32_t beyond = ZQI_GetBitmapUsedCount();
    const int32_t negative = -1;
    EXPECT_EQ(nullptr, ZQ_Graphics_GetBitmapFromHandle(&beyond));
    EXPECT_EQ(nullptr, ZQ_Graphics_GetBitmapFromHandle(&negative));
    EXPECT_EQ(nullptr, ZQ_Graphics_GetBitmapFromHandle(nullptr));
}

TEST_F(BitmapOperationsTest, RenderTargetsWithoutDataOrBoundAreLeftAlone) {
    const zq_bitmap_desc_t desc = Description(16, 16, true);
    zq_bitmap_t* target = ZQ_Graphics_CreateBitmap("unmade", &desc);
    EXPECT_FALSE(ZQ_Graphics_CopyBitmapRenderTargetDataToPixels(target));  // no GPU texture yet
    EXPECT_FALSE(ZQ_Graphics_SaveBitmap(target, "user://unmade.png", 0));
    EXPECT_EQ(1,
              CountLogged("No pixel data present. Call  zq->graphics->CopyBitmapRenderTargetDataToPixels to "
                          "fetch the data from gpu."));
    EXPECT_EQ(1, CountLogged("Unable to save bitmap as pixels data is null."));
    // Texture size 0: the source rectangle would divide by it; nothing changes.
    ZQ_Graphics_SetBitmapSourceRectangle(target, 1, 2, 3, 4);
    EXPECT_EQ(0.0f, target->gpu.texture_right);
    zq_bitmap_t bound = DrawableBitmap(64, 32, 0x700);
    bound.name = const_cast<char*>("bound");
    bound.flags = BITMAP_FLAG_RENDER_TARGET;
    ZQ_Graphics_SetBitmapSourceRectangle(&bound, 16, 8, 32, 16);
    EXPECT_EQ(0.25f, bound.gpu.texture_left);
    EXPECT_EQ(0.75f, bound.gpu.texture_bottom);
    ZQ_Graphics_PushRenderTarget(&bound);
    ZQ_Graphics_ResizeBitmap(&bound, 8, 8);
    EXPECT_EQ(64, bound.width);
    EXPECT_EQ(1, CountLogged("[POPUP] ZQ_Graphics_ResizeBitmap: Bitmap 'bound' is set as a render target"));
    ZQ_Graphics_PopRenderTargets();
}

}  // namespace
