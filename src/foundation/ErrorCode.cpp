// Error texts and the shared error report. The Windows system text is the only
// platform-bound part, behind _WIN32.
#include "foundation/ErrorCode.h"

#include <cstdio>
#include <cstring>

#include "foundation/FoundationHooks.h"
#include "foundation/String.h"

#if defined(_WIN32)
#include <windows.h>
#endif

const char* ZQI_GetErrorCategoryName(ErrorCode code) {
    switch (ZQI_GetErrorCategory(code)) {
        case ERRCAT_NONE:
            return "No category";
        case ERRCAT_D3D11_RENDERER:
            return "D3D11 Renderer";
        case ERRCAT_D3D12_RENDERER:
            return "D3D12 Renderer";
        case ERRCAT_DXGI:
            return "D3D11/12 DXGI";
        case ERRCAT_VULKAN_RENDERER:
            return "Vulkan Renderer";
        case ERRCAT_XINPUT:
            return "XInput";
        case ERRCAT_PS5:
            return "PlayStation 5";
        case ERRCAT_AGC_RENDERER:
            return "Agc Renderer";
        default:
            return "Unknown category";
    }
}

const char* ZQI_GetErrorCodeText(ErrorCode code) {
    switch (code) {
        case ERRCODE_NONE:
            return "no error";
        case ERRCODE_D3D11_CREATE_BUFFER:
            return "failed to create a buffer";
        case ERRCODE_D3D11_CREATE_DEVICE:
            return "failed to create the D3D device";
        case ERRCODE_D3D11_QUERY_DEVICE:
            return "failed to query the D3D device";
        case ERRCODE_D3D11_QUERY_DEVICE_CONTEXT:
            return "failed to query the D3D device context";
        case ERRCODE_D3D11_CREATE_SDR_SWAP_CHAIN:
            return "failed to create the SDR swap chain";
        case ERRCODE_D3D11_CREATE_HDR_SWAP_CHAIN:
            return "failed to create the HDR swap chain";
        case ERRCODE_D3D11_GET_SWAP_CHAIN_COLOR_BUFFER:
            return "failed to get the swap chain color buffer";
        case ERRCODE_D3D11_CREATE_SWAP_CHAIN_COLOR_VIEW:
            return "failed to create the swap chain color render target view";
        case ERRCODE_D3D11_CREATE_SWAP_CHAIN_DEPTH_BUFFER:
            return "failed to create the swap chain depth stencil buffer";
        case ERRCODE_D3D11_CREATE_SWAP_CHAIN_DEPTH_VIEW:
            return "failed to create the swap chain depth stencil render target view";
        case ERRCODE_D3D11_CREATE_HDR_SWAP_CHAIN_SRV:
            return "failed to create the HDR swap chain shader resource view";
        case ERRCODE_D3D11_CREATE_RASTERIZER_STATE:
            return "failed to create a rasterizer state";
        case ERRCODE_D3D11_CREATE_SAMPLER_STATE:
            return "failed to create a sampler state";
        case ERRCODE_D3D11_CREATE_DEPTH_STENCIL_STATE:
            return "failed to create a depth stencil state";
        case ERRCODE_D3D11_CREATE_BLEND_STATE:
            return "failed to create a blend state";
        case ERRCODE_DXGI_ENUMERATE_ADAPTERS:
            return "failed to enumerate adapters";
        case ERRCODE_DXGI_ENUMERATE_OUTPUTS:
            return "failed to enumerate adapter outputs";
        case ERRCODE_DXGI_GET_DISPLAY_MODES:
            return "failed to get output display modes";
        case ERRCODE_DXGI_GET_FACTORY:
            return "failed to get a DXGI factory";
        case ERRCODE_XINPUT_LOAD_LIBRARY:
            return "failed to load library";
        case ERRCODE_XINPUT_LOAD_FUNCTIONS:
            return "failed to load functions";
        default:
            return "unknown error";
    }
}

void ZQI_TrimSystemText(char* text) {
    if (text == nullptr) {
        return;
    }
    size_t length = strlen(text);
    if (length >= 2 && text[length - 2] == '\r') {
        text[length - 2] = '\0';
    }
}

#if defined(_WIN32)

char* ZQI_GetSystemErrorText(uint32_t windowsError) {
    char* text = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        windowsError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        return nullptr;  // no text: reported as ""
    }
    ZQI_TrimSystemText(text);
    return text;
}

void ZQI_ReleaseSystemErrorText(char* text) {
    if (text != nullptr) {
        LocalFree(text);
    }
}

#else

char* ZQI_GetSystemErrorText(uint32_t) {
    // No Windows message table on this host; a fixed text keeps the message form complete.
    static char text[] = "(no system text on this platform)";
    return text;
}

void ZQI_ReleaseSystemErrorText(char*) {}

#endif

void ZQI_ReportErrorV(ErrorCode code, uint32_t windowsError, const char* format, va_list args) {
    const char* category = ZQI_GetErrorCategoryName(code);
    const char* errorText = ZQI_GetErrorCodeText(code);

    // "\n\n" and the formatted detail share one 4096-byte buffer: at most 4093 characters.
    char detail[ZQI_FORMAT_BUFFER_SIZE];
    detail[0] = '\0';
    if (format != nullptr) {
        detail[0] = '\n';
        detail[1] = '\n';
        if (ZQI_VSNPrintf(detail + 2, sizeof(detail) - 2, format, args) < 0) {
            detail[2] = '\0';
        }
    }

    String message;
    char* systemText = nullptr;
    if (windowsError != 0) {
        systemText = ZQI_GetSystemErrorText(windowsError);
        message.Format("%s error: %s (0x%08X)\n\nWindows error 0x%08X: %s%s", category, errorText,
                       static_cast<unsigned>(code), static_cast<unsigned>(windowsError),
                       systemText != nullptr ? systemText : "", detail);
    } else {
        message.Format("%s error: %s (0x%08X)%s", category, errorText, static_cast<unsigned>(code), detail);
    }

    const ZQI_ErrorReportSink& sink = ZQI_GetErrorReportSink();
    if (sink.isDeveloperMode()) {
        sink.popup(2, message.CStr());
    } else {
        sink.log(2, message.CStr());
    }
    ZQI_ReleaseSystemErrorText(systemText);
}

void ZQI_ReportError(ErrorCode code, uint32_t windowsError, const char* format, ...) {
    va_list args;
    va_start(args, format);
    ZQI_ReportErrorV(code, windowsError, format, args);
    va_end(args);
}

void ZQI_ReportPlatformError(ErrorCode code, int32_t platformError, const char* tail) {
    String message =
        String::FromFormat("%s error: %s (0x%08X, platform error %i)%s.", ZQI_GetErrorCategoryName(code),
                           ZQI_GetErrorCodeText(code), static_cast<unsigned>(code),
                           static_cast<int>(platformError), tail != nullptr ? tail : "");
    const ZQI_ErrorReportSink& sink = ZQI_GetErrorReportSink();
    if (sink.isDeveloperMode()) {
        sink.popup(2, message.CStr());
    } else {
        sink.log(2, message.CStr());
    }
}
