// Display modes of an output (the resolutions offered to the program) and the window's style
// and place for a display mode on an output.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

const DXGI_FORMAT kModeFormat = DXGI_FORMAT_B8G8R8A8_UNORM;

const LONG_PTR kWindowedStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;  // 0x00CB0000
const LONG_PTR kWindowedExStyle = 0x00040100;
const LONG_PTR kFullscreenStyle = static_cast<LONG_PTR>(0x80000008u);
const LONG_PTR kFullscreenExStyle = 0x00040000;

struct OutputArea {
    LONG left;
    LONG top;
    LONG width;
    LONG height;
};


bool ContainsSize(const Array<Resolution>& list, UINT width, UINT height) {
    for (const Resolution& entry : list) {
        if (entry.width == static_cast<int32_t>(width) && entry.height == static_cast<int32_t>(height)) {
            return true;
        }
    }
    return false;
}

bool GetOutputArea(const RendererAdapter& block, int32_t outputIndex, OutputArea* area) {
    if (outputIndex < 0 || outputIndex >= block.outputs.count) {
        return false;
    }
    DXGI_OUTPUT_DESC desc;
    if (FAILED(block.outputs[outputIndex]->GetDesc(&desc))) {
        return false;
    }
    area->left = desc.DesktopCoordinates.left;
    area->top = desc.DesktopCoordinates.top;
    area->width = desc.DesktopCoordinates.right - desc.DesktopCoordinates.left;
    area->height = desc.DesktopCoordinates.bottom - desc.DesktopCoordinates.top;
    return true;
}

}  // namespace

Array<DXGI_MODE_DESC> ZQI_GetOutputDisplayModes(RendererAdapter* block, int32_t outputIndex) {
    Array<DXGI_MODE_DESC> modes;
    if (block == nullptr || outputIndex < 0 || outputIndex >= block->outputs.count) {
        return modes;
    }
    IDXGIOutput* output = block->outputs[outputIndex];
    UINT count = 0;
    HRESULT result = output->GetDisplayModeList(kModeFormat, 0, &count, nullptr);
    if (SUCCEEDED(result) && count > 0) {
        UINT slots = count;
        modes.Reserve(static_cast<int32_t>(slots));
        if (modes.capacity < static_cast<int32_t>(slots)) {
            return modes;  // out of memory: no modes
        }
        // When the list grew since the count was taken, the buffer is too small: what the output
        // wrote is kept. Nothing says how much it writes then (possibly nothing), so slots it
        // leaves alone must read as no mode (format unknown) rather than as heap leftovers.
        memset(modes.data, 0, sizeof(DXGI_MODE_DESC) * slots);
        result = output->GetDisplayModeList(kModeFormat, 0, &count, modes.data);
        if (SUCCEEDED(result) || result == DXGI_ERROR_MORE_DATA) {
            // The count left behind by a too-small buffer is not defined (it may be the larger,
            // needed one): never more than the buffer holds.
            modes.count = static_cast<int32_t>(count < slots ? count : slots);
            return modes;
        }
    }
    if (FAILED(result)) {
        ZQI_ReportPlatformError(ERRCODE_DXGI_GET_DISPLAY_MODES, static_cast<int32_t>(result), "");
    }
    modes.Clear();
    return modes;
}

void RendererImplementation::GetDisplayModes(int32_t outputIndex) {
    if (adapterBlock.adapter == nullptr) {
        OpenDefaultAdapter();
    }
    Array<DXGI_MODE_DESC> modes = ZQI_GetOutputDisplayModes(&adapterBlock, outputIndex);
    // Refresh rates and scaling variants of one size collapse into one entry.
    for (const DXGI_MODE_DESC& mode : modes) {
        if (mode.Format == kModeFormat && !ContainsSize(displayModes, mode.Width, mode.Height)) {
            Resolution size = {static_cast<int32_t>(mode.Width), static_cast<int32_t>(mode.Height)};
            displayModes.Push(size);
        }
    }
}

const char* ZQI_GetSupportedResolutionsText(int32_t outputIndex) {
    RendererImplementation* renderer = g_core.renderer;
    if (renderer == nullptr) {
        return nullptr;
    }
    Array<Resolution>& list = renderer->displayModes;
    list.Clear();
    renderer->GetDisplayModes(outputIndex);
    if (list.count > 1) {
        qsort(list.data, static_cast<size_t>(list.count), sizeof(Resolution), ZQI_CompareSizeAscending);
    }
    String& text = renderer->displayModesText;
    text.Assign(nullptr);
    for (int32_t i = 0; i < list.count; ++i) {
        text.AppendFormat("%s%ix%i", i == 0 ? "" : ",", static_cast<int>(list[i].width),
                          static_cast<int>(list[i].height));
    }
    return text.IsEmpty() ? nullptr : text.CStr();
}

bool RendererImplementation::ApplyWindowStyle(int32_t outputIndex, int32_t width, int32_t height,
                                              bool windowed) {
    HWND window = platform.window;
    OutputArea area;
    if (window == nullptr || !GetOutputArea(adapterBlock, outputIndex, &area)) {
        ZQ_Log(2, "RendererImplementation::ApplyWindowStyle: no window or no output %d.",
               static_cast<int>(outputIndex));
        return false;
    }
    LONG_PTR style;
    LONG_PTR exStyle;
    if (windowed) {
        // Only a window that fills the output both ways loses its frame.
        bool coversOutput = width >= area.width && height >= area.height;
        style = coversOutput ? static_cast<LONG_PTR>(WS_POPUP) : kWindowedStyle;
        exStyle = kWindowedExStyle;
    } else {
        width = area.width;
        height = area.height;
        style = kFullscreenStyle;
        exStyle = kFullscreenExStyle;
    }
    RECT outer = {0, 0, width, height};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(style), FALSE, static_cast<DWORD>(exStyle));
    SetWindowLongPtrA(window, GWL_STYLE, style);
    SetWindowLongPtrA(window, GWL_EXSTYLE, exStyle);

    LONG outerWidth = outer.right - outer.left;
    LONG outerHeight = outer.bottom - outer.top;
    LONG x = area.left;
    LONG y = area.top;
    if (windowed) {
        x += area.width / 2 - outerWidth / 2;
        y += area.height / 2 - outerHeight / 2;
    }
    SetWindowPos(window, HWND_TOP, x, y, outerWidth, outerHeight, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // Setting the extended style dropped the drop-target flag that developer mode relies on.
    if (ZQ_IsDeveloperMode()) {
        DragAcceptFiles(window, TRUE);
    }
    return true;
}

int ZQI_CompareSizeAscending(const void* a, const void* b) {
    const Resolution* first = static_cast<const Resolution*>(a);
    const Resolution* second = static_cast<const Resolution*>(b);
    if (first->width != second->width) {
        return first->width < second->width ? -1 : 1;
    }
    if (first->height != second->height) {
        return first->height < second->height ? -1 : 1;
    }
    return 0;
}

int ZQI_CompareSizeDescending(const void* a, const void* b) { return ZQI_CompareSizeAscending(b, a); }
