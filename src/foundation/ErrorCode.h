// ErrorCode and ErrorCategory: identify failures of platform calls in the renderer
// back ends and the gamepad layer, with fixed English texts, and the shared report routine that
// shows them as a popup in developer mode or logs them otherwise (through the error-report sink
// of FoundationHooks.h).
#pragma once

#include <cstdarg>
#include <cstdint>

#include "foundation/Compiler.h"

// (category << 16) | number; 0 means no error.
typedef uint32_t ErrorCode;
typedef uint16_t ErrorCategory;

enum : ErrorCategory {
    ERRCAT_NONE = 0,             // "No category"
    ERRCAT_D3D11_RENDERER = 1,   // "D3D11 Renderer"
    ERRCAT_D3D12_RENDERER = 2,   // "D3D12 Renderer"
    ERRCAT_DXGI = 3,             // "D3D11/12 DXGI"
    ERRCAT_VULKAN_RENDERER = 4,  // "Vulkan Renderer"
    ERRCAT_XINPUT = 5,           // "XInput"
    ERRCAT_PS5 = 6,              // "PlayStation 5"
    ERRCAT_AGC_RENDERER = 7,     // "Agc Renderer"
};

enum : ErrorCode {
    ERRCODE_NONE = 0x00000,
    // Direct3D 11 renderer.
    ERRCODE_D3D11_CREATE_BUFFER = 0x10000,
    ERRCODE_D3D11_CREATE_DEVICE = 0x10001,
    ERRCODE_D3D11_QUERY_DEVICE = 0x10002,
    ERRCODE_D3D11_QUERY_DEVICE_CONTEXT = 0x10003,
    ERRCODE_D3D11_CREATE_SDR_SWAP_CHAIN = 0x10004,
    ERRCODE_D3D11_CREATE_HDR_SWAP_CHAIN = 0x10005,
    ERRCODE_D3D11_GET_SWAP_CHAIN_COLOR_BUFFER = 0x10006,
    ERRCODE_D3D11_CREATE_SWAP_CHAIN_COLOR_VIEW = 0x10007,
    ERRCODE_D3D11_CREATE_SWAP_CHAIN_DEPTH_BUFFER = 0x10008,
    ERRCODE_D3D11_CREATE_SWAP_CHAIN_DEPTH_VIEW = 0x10009,
    ERRCODE_D3D11_CREATE_HDR_SWAP_CHAIN_SRV = 0x1000A,
    ERRCODE_D3D11_CREATE_RASTERIZER_STATE = 0x1000B,
    ERRCODE_D3D11_CREATE_SAMPLER_STATE = 0x1000C,
    ERRCODE_D3D11_CREATE_DEPTH_STENCIL_STATE = 0x1000D,
    ERRCODE_D3D11_CREATE_BLEND_STATE = 0x1000E,
    // DXGI adapters and outputs.
    ERRCODE_DXGI_ENUMERATE_ADAPTERS = 0x30000,
    ERRCODE_DXGI_ENUMERATE_OUTPUTS = 0x30001,
    ERRCODE_DXGI_GET_DISPLAY_MODES = 0x30002,
    ERRCODE_DXGI_GET_FACTORY = 0x30003,
    // XInput gamepads.
    ERRCODE_XINPUT_LOAD_LIBRARY = 0x50000,
    ERRCODE_XINPUT_LOAD_FUNCTIONS = 0x50001,
};

inline ErrorCode ZQI_MakeErrorCode(ErrorCategory category, uint16_t number) {
    return (static_cast<ErrorCode>(category) << 16) | number;
}
inline ErrorCategory ZQI_GetErrorCategory(ErrorCode code) {
    return static_cast<ErrorCategory>(code >> 16);
}

// Category name from the upper 16 bits; "Unknown category" for any other category.
const char* ZQI_GetErrorCategoryName(ErrorCode code);
// Text of the whole code; "unknown error" for any other code.
const char* ZQI_GetErrorCodeText(ErrorCode code);

// Reports at level 2: "%s error: %s (0x%08X)%s", or with a non-zero Windows error
// "%s error: %s (0x%08X)\n\nWindows error 0x%08X: %s%s" with the system's text for it. The
// detail (format may be null) is "\n\n" + the formatted text, at most 4093 characters. Shown as
// a popup in developer mode, otherwise logged.
void ZQI_ReportError(ErrorCode code, uint32_t windowsError, const char* format, ...) ZQ_PRINTF_LIKE(3, 4);
void ZQI_ReportErrorV(ErrorCode code, uint32_t windowsError, const char* format, va_list args);

// The back ends' own form, with the same lookups, level and popup-or-log choice:
// "%s error: %s (0x%08X, platform error %i)%s." (tail null counts as "").
void ZQI_ReportPlatformError(ErrorCode code, int32_t platformError, const char* tail);

// The system's message text for a Windows error, with a trailing CR LF cut (ZQI_TrimSystemText);
// "" when the system has none. Release with ZQI_ReleaseSystemErrorText. Windows: FormatMessageA
// from the system message table (buffer allocated by the system, freed with LocalFree). Other
// hosts have no such table and return a fixed plain text.
char* ZQI_GetSystemErrorText(uint32_t windowsError);
void ZQI_ReleaseSystemErrorText(char* text);
// Cuts text at its second-to-last character when that is a CR (text of 2 or more characters).
void ZQI_TrimSystemText(char* text);
