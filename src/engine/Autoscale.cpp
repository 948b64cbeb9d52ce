// Autoscaling, overlay zoom offsets and the screen transform.
#include "engine/Autoscale.h"

#include <cmath>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/Log.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/ScreenMapping.h"
#include "engine/RuntimeState.h"

namespace {

const float kZoomEpsilon = 0.000001f;

struct Size {
    int32_t width;
    int32_t height;
};

// The display size in the design's axes: swapped when the native orientation differs from the
// design orientation of the applied parameters.
Size GetDisplaySizeInDesignAxes() {
    const zq_parameters_t& applied = g_core.appliedParameters;
    Size size = {g_runtime.displayWidth, g_runtime.displayHeight};
    uint32_t design = ZQI_GetDesignOrientation(applied.design_width, applied.design_height);
    if (g_runtime.nativeOrientation != design) {
        size = {g_runtime.displayHeight, g_runtime.displayWidth};
    }
    return size;
}

bool IsOrientationSwapped() {
    const zq_parameters_t& applied = g_core.appliedParameters;
    return g_runtime.nativeOrientation !=
           ZQI_GetDesignOrientation(applied.design_width, applied.design_height);
}

Matrix4x4 Translation(float x, float y) {
    Matrix4x4 m = Matrix4x4::Identity();
    m[3] = x;
    m[7] = y;
    return m;
}

Matrix4x4 Scale(float x, float y) {
    Matrix4x4 m = Matrix4x4::Identity();
    m[0] = x;
    m[5] = y;
    return m;
}

Matrix4x4 Multiply(const Matrix4x4& a, const Matrix4x4& b) {
    Matrix4x4 out;
    Matrix4x4::Multiply(out, a, b);
    return out;
}

void ResetScales() {
    g_runtime.offsetX = g_runtime.offsetY = 0.0f;
    g_runtime.scaleX = g_runtime.scaleY = 1.0f;
    g_runtime.inverseScaleX = g_runtime.inverseScaleY = 1.0f;
}

}  // namespace

uint32_t ZQI_GetDesignOrientation(int32_t width, int32_t height) {
    return height < width ? ORIENTATION_LANDSCAPE : ORIENTATION_PORTRAIT;
}

const char* ZQI_GetOrientationName(uint32_t orientation) {
    switch (orientation) {
        case ORIENTATION_PORTRAIT:
        case ORIENTATION_PORTRAIT_UPSIDE_DOWN:
            return "PORTRAIT";
        case ORIENTATION_LANDSCAPE:
        case ORIENTATION_LANDSCAPE_FLIPPED:
            return "LANDSCAPE";
        default:
            return "UNKNOWN";
    }
}

void ZQI_ApplyParameterOverrides() {
    zq_parameters_t& program = g_core.program->parameters;
    const RuntimeSettings& settings = g_runtime.settings;
    if (g_runtime.displayWidth == 0 || g_runtime.displayHeight == 0) {
        g_runtime.displayWidth = settings.bootWidth;
        g_runtime.displayHeight = settings.bootHeight;
    }
    if (program.width == 0 || program.height == 0) {
        ZQ_Print("Important parameter is 0: width=%d height=%d override=%d. Forcing override.", program.width,
                 program.height, 0);
        program.width = settings.bootWidth;
        program.height = settings.bootHeight;
        ZQ_Print("Parameters after override: width=%d height=%d override=%d.", program.width, program.height,
                 0);
    }
    if (!settings.forceResolution) {
        g_runtime.displayWidth = program.width;
        g_runtime.displayHeight = program.height;
        g_runtime.settings.bootWidth = program.width;
        g_runtime.settings.bootHeight = program.height;
    }
    g_runtime.nativeOrientation =
        g_runtime.displayWidth >= g_runtime.displayHeight ? ORIENTATION_LANDSCAPE : ORIENTATION_PORTRAIT;
    ZQ_Print("Program orientation: %s.",
             program.design_width < program.design_height ? "PORTRAIT" : "LANDSCAPE");
    ZQ_Print("Native device screen buffer orientation: %s.",
             ZQI_GetOrientationName(g_runtime.nativeOrientation));
}

void ZQI_SetupAutoscaling() {
    if (!g_runtime.autoscale) {
        ResetScales();
        return;
    }
    zq_parameters_t& program = g_core.program->parameters;
    ZQ_Log(LOG_LEVEL_SYSTEM, "Setting up autoscaling from %dx%d -> %dx%d.", program.design_width,
           program.design_height, program.width, program.height);
    if (program.design_width == program.width && program.design_height == program.height) {
        ZQ_Log(LOG_LEVEL_SYSTEM, "Target resolution matches source, no need for scaling.");
        g_runtime.autoscale = 0;
        // Scales left from an earlier display would otherwise still shape the screen transform.
        ResetScales();
        return;
    }
    program.width = program.design_width;
    program.height = program.design_height;
    ZQI_UpdateAutoscale();
    ZQI_UpdateAutoscaleOffsets();
    ZQ_Log(LOG_LEVEL_SYSTEM, "Offset x=%.2f y=%.2f", g_runtime.offsetX, g_runtime.offsetY);
    ZQ_Log(LOG_LEVEL_SYSTEM, "Scale x=%.2f y=%.2f", g_runtime.scaleX, g_runtime.scaleY);
}

void ZQI_UpdateAutoscale() {
    if (!g_runtime.autoscale) {
        return;
    }
    const zq_parameters_t& applied = g_core.appliedParameters;
    if (applied.design_width <= 0 || applied.design_height <= 0) {
        // A missing design size would divide by zero; the screen stays unscaled.
        ResetScales();
        return;
    }
    Size display = GetDisplaySizeInDesignAxes();
    float sx = static_cast<float>(display.width) / static_cast<float>(applied.design_width);
    float sy = static_cast<float>(display.height) / static_cast<float>(applied.design_height);
    if (ZQI_IsFeatureEnabled("AUTOSCALE_RETAIN_ASPECT_RATIO")) {
        sx = sy = std::fmin(sx, sy);
    }
    g_runtime.scaleX = sx;
    g_runtime.scaleY = sy;
    g_runtime.inverseScaleX = 1.0f / sx;
    g_runtime.inverseScaleY = 1.0f / sy;
    g_runtime.offsetX = static_cast<float>(static_cast<int32_t>(
        (static_cast<float>(display.width) - static_cast<float>(applied.design_width) * sx) * 0.5f));
    g_runtime.offsetY = static_cast<float>(static_cast<int32_t>(
        (static_cast<float>(display.height) - static_cast<float>(applied.design_height) * sy) * 0.5f));
}

void ZQI_UpdateAutoscaleOffsets() {
    Size display = GetDisplaySizeInDesignAxes();
    float z = g_runtime.overlayZoom;
    g_runtime.zoomOffsetX = static_cast<int32_t>(
        (static_cast<float>(display.width) - static_cast<float>(display.width) * z) * 0.5f);
    g_runtime.zoomOffsetY = static_cast<int32_t>(
        (static_cast<float>(display.height) - static_cast<float>(display.height) * z) * 0.5f);
}

Matrix4x4 ZQI_ComputeScreenTransform() {
    Matrix4x4 m = Translation(static_cast<float>(g_runtime.displayWidth) * 0.5f,
                              static_cast<float>(g_runtime.displayHeight) * 0.5f);
    float z = g_runtime.overlayZoom;
    if (g_runtime.autoscale || std::fabs(z - 1.0f) >= kZoomEpsilon) {
        float sx = g_runtime.scaleX;
        float sy = g_runtime.scaleY;
        if (g_runtime.autoscale && IsOrientationSwapped()) {
            float swap = sx;
            sx = sy;
            sy = swap;
        }
        m = Multiply(m, Scale(z * sx, z * sy));
    }
    const zq_parameters_t& program = g_core.program->parameters;
    return Multiply(m, Translation(-static_cast<float>(program.width) * 0.5f,
                                   -static_cast<float>(program.height) * 0.5f));
}

void ZQI_BuildScreenTransform() {
    const Matrix4x4 transform = ZQI_ComputeScreenTransform();
    HighLevelRenderer::PushWorldTransform(&transform);
}

namespace {

ScreenMapping CurrentScreenMapping() {
    ScreenMapping mapping = {};
    mapping.autoscale = g_runtime.autoscale;
    mapping.scaleX = g_runtime.scaleX;
    mapping.scaleY = g_runtime.scaleY;
    mapping.offsetX = g_runtime.offsetX;
    mapping.offsetY = g_runtime.offsetY;
    mapping.zoom = g_runtime.overlayZoom;
    mapping.zoomOffsetX = g_runtime.zoomOffsetX;
    mapping.zoomOffsetY = g_runtime.zoomOffsetY;
    mapping.orientationSwapped = IsOrientationSwapped() ? 1 : 0;
    return mapping;
}

// The overlay zoom belongs to the back buffer: drawing into a target sets it aside.
void LeaveBackBuffer() {
    g_runtime.rememberedZoom = g_runtime.overlayZoom;
    g_runtime.overlayZoom = 1.0f;
    ZQI_UpdateAutoscaleOffsets();
}

void ReturnToBackBuffer() {
    g_runtime.overlayZoom = g_runtime.rememberedZoom;
    ZQI_UpdateAutoscaleOffsets();
}

}  // namespace

void ZQI_ConnectScreenMapping() {
    const ScreenMappingCalls calls = {CurrentScreenMapping, LeaveBackBuffer, ReturnToBackBuffer};
    ZQI_SetScreenMappingCalls(&calls);
}

namespace {

// Autoscaling: from display pixels to the program's design units, past the letterbox margin.
void MapToDesignUnits(int32_t* x, int32_t* y) {
    if (!g_runtime.autoscale) {
        return;
    }
    *x = static_cast<int32_t>(
        static_cast<float>(static_cast<int32_t>(static_cast<float>(*x) - g_runtime.offsetX)) *
        g_runtime.inverseScaleX);
    *y = static_cast<int32_t>(
        static_cast<float>(static_cast<int32_t>(static_cast<float>(*y) - g_runtime.offsetY)) *
        g_runtime.inverseScaleY);
}

// The developer overlay zoom draws the frame scaled about the screen centre; pointer positions
// follow it. A zoom of 0 (not yet set up) counts as none.
void UndoOverlayZoom(int32_t* x, int32_t* y) {
    float zoom = g_runtime.overlayZoom;
    if (zoom <= 0.0f || (zoom - 1.0f < kZoomEpsilon && 1.0f - zoom < kZoomEpsilon)) {
        return;
    }
    *x = static_cast<int32_t>(static_cast<float>(*x - g_runtime.zoomOffsetX) * (1.0f / zoom));
    *y = static_cast<int32_t>(static_cast<float>(*y - g_runtime.zoomOffsetY) * (1.0f / zoom));
}

}  // namespace

void ZQI_MapWindowPointToProgram(int32_t* x, int32_t* y) {
    MapToDesignUnits(x, y);
    UndoOverlayZoom(x, y);
}
