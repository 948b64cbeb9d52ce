// Stand-ins for the engine API slots of subsystems not in this build. One template makes a
// stand-in for any slot signature; a local class per slot carries its name for the message.
#include "core/ApiPlaceholders.h"

#include <atomic>
#include <type_traits>

#include "core/ApiTable.h"
#include "core/Buffer.h"
#include "core/Log.h"

namespace {

// Each build of the tables starts the reports afresh: a stand-in reports once per generation.
std::atomic<uint32_t> g_reportGeneration(1);

// Logs "ZQ_<Area>_<Slot>: the <subsystem> subsystem is not available." once per slot and table
// build. The mark is set before logging, so a stand-in reached again from inside the log writer
// stays quiet.
template <typename Name>
void ReportUnavailable() {
    static std::atomic<uint32_t> reportedGeneration(0);
    uint32_t generation = g_reportGeneration.load();
    if (reportedGeneration.exchange(generation) != generation) {
        ZQ_Log(LOG_LEVEL_ERROR, "%s: the %s subsystem is not available.", Name::Function(),
               Name::Subsystem());
    }
}

template <typename Result>
Result NotAvailableAnswer() {
    if constexpr (std::is_void<Result>::value) {
        return;
    } else {
        return Result{};  // zero, false, null, or a zeroed record
    }
}

template <typename Slot, typename Name>
struct StandIn;

template <typename Result, typename... Args, typename Name>
struct StandIn<Result (*)(Args...), Name> {
    static Result Call(Args...) {
        ReportUnavailable<Name>();
        return NotAvailableAnswer<Result>();
    }
};

// printf-style slots (text drawing and measuring).
template <typename Result, typename... Args, typename Name>
struct StandIn<Result (*)(Args..., ...), Name> {
    static Result Call(Args..., ...) {
        ReportUnavailable<Name>();
        return NotAvailableAnswer<Result>();
    }
};

// Fills table->member with its stand-in, named prefix followed by the member in the message.
#define ZQI_STAND_IN(table, prefix, subsystem, member)                     \
    do {                                                                   \
        struct Name {                                                      \
            static const char* Function() { return prefix #member; }       \
            static const char* Subsystem() { return subsystem; }           \
        };                                                                 \
        (table)->member = &StandIn<decltype((table)->member), Name>::Call; \
    } while (0)

#define ZQI_FILES(member) ZQI_STAND_IN(table, "ZQ_FileSystem_", "file system", member)
#define ZQI_GRAPHICS(member) ZQI_STAND_IN(table, "ZQ_Graphics_", "graphics", member)
#define ZQI_ROOT(member, subsystem) ZQI_STAND_IN(table, "ZQ_", subsystem, member)

// ---- Reserved graphics slots: fixed answers, no message ----

void* ReservedNull() {
    return nullptr;
}
void ReservedNothing() {}
bool ReservedFalse() {
    return false;
}
int32_t ReservedThree() {
    return 3;
}
float ReservedZero() {
    return 0.0f;
}

// ---- File-system slots that hand out lists: always a new list, so the caller can free it ----

template <typename Name>
zq_string_list_t* NewEmptyStringList() {
    ReportUnavailable<Name>();
    zq_string_list_t* list = static_cast<zq_string_list_t*>(ZQ_AllocateMemory(sizeof(zq_string_list_t)));
    if (list == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR, "%s: out of memory.", Name::Function());
        return nullptr;
    }
    list->items = nullptr;
    list->count = 0;
    return list;
}

struct FindFilesName {
    static const char* Function() { return "ZQ_FileSystem_FindFiles"; }
    static const char* Subsystem() { return "file system"; }
};

struct GetSearchPathsName {
    static const char* Function() { return "ZQ_FileSystem_GetSearchPaths"; }
    static const char* Subsystem() { return "file system"; }
};

zq_string_list_t* FindFilesUnavailable(const char*, const char*, bool) {
    return NewEmptyStringList<FindFilesName>();
}

zq_string_list_t* GetSearchPathsUnavailable() {
    return NewEmptyStringList<GetSearchPathsName>();
}

// ---- HTTP root slots ----

// The HTTP client's answer when no socket could be made.
const int32_t kHttpNoSocket = -2;

struct SendHttpRequestName {
    static const char* Function() { return "ZQ_SendHttpRequest"; }
    static const char* Subsystem() { return "HTTP"; }
};

struct SendRawHttpRequestName {
    static const char* Function() { return "ZQ_SendRawHttpRequest"; }
    static const char* Subsystem() { return "HTTP"; }
};

// Each non-null out pointer receives a new empty buffer, as the real slots do before sending.
void StoreEmptyBuffer(zq_buffer_t** out) {
    if (out != nullptr) {
        *out = ZQ_CreateBuffer(0);
    }
}

int32_t SendHttpRequestUnavailable(uint32_t, const char*, const char*, const void*, uint32_t,
                                   zq_buffer_t** response, uint32_t*) {
    StoreEmptyBuffer(response);
    ReportUnavailable<SendHttpRequestName>();
    return kHttpNoSocket;
}

int32_t SendRawHttpRequestUnavailable(uint32_t, const char*, const char*, uint32_t, const void*, uint32_t,
                                      zq_buffer_t** headerOut, zq_buffer_t** bodyOut, uint32_t*) {
    StoreEmptyBuffer(headerOut);
    StoreEmptyBuffer(bodyOut);
    ReportUnavailable<SendRawHttpRequestName>();
    return kHttpNoSocket;
}

}  // namespace

void ZQI_RestartUnavailableReports() {
    g_reportGeneration.fetch_add(1);
}

void ZQI_FillUnavailableFileSystemTable(zq_filesystem_api_t* table) {
    ZQI_FILES(AddSearchPath);
    ZQI_FILES(CloseFile);
    ZQI_FILES(CreateDirectory);
    ZQI_FILES(DeleteDirectory);
    ZQI_FILES(DeleteFile);
    table->FindFiles = FindFilesUnavailable;
    ZQI_FILES(FileExists);
    ZQI_FILES(FlushFile);
    ZQI_FILES(GetFileInfo);
    ZQI_FILES(GetFilePosition);
    table->GetSearchPaths = GetSearchPathsUnavailable;
    ZQI_FILES(IsPathValid);
    ZQI_FILES(Mount);
    ZQI_FILES(OpenFile);
    ZQI_FILES(ReadFile);
    ZQI_FILES(RemoveSearchPath);
    ZQI_FILES(SearchPathExists);
    ZQI_FILES(SeekFile);
    ZQI_FILES(ShowNativeFileSelectDialog);
    ZQI_FILES(Unmount);
    ZQI_FILES(WriteFile);
}

void ZQI_FillUnavailableGraphicsTable(zq_graphics_api_t* table) {
    table->Reserved0 = ReservedNull;
    table->Reserved1 = ReservedNothing;
    table->Reserved2 = ReservedNothing;
    table->Reserved3 = ReservedNothing;
    table->Reserved4 = ReservedFalse;
    ZQI_GRAPHICS(ClearDepth);
    ZQI_GRAPHICS(ClearScreen);
    ZQI_GRAPHICS(ClearScreenRGBA);
    table->Reserved8 = ReservedNull;
    ZQI_GRAPHICS(CreateBitmap);
    ZQI_GRAPHICS(CopyBitmapRenderTargetDataToPixels);
    ZQI_GRAPHICS(CreateIndexBuffer);
    ZQI_GRAPHICS(CreateVertexBuffer);
    ZQI_GRAPHICS(DisableScissor);
    ZQI_GRAPHICS(DrawBitmap);
    ZQI_GRAPHICS(DrawBitmapFromVertices);
    ZQI_GRAPHICS(DrawBitmapLine);
    ZQI_GRAPHICS(DrawBitmapRotated);
    ZQI_GRAPHICS(DrawLine);
    ZQI_GRAPHICS(DrawLineFromVertices);
    ZQI_GRAPHICS(DrawRectangle);
    ZQI_GRAPHICS(DrawSubBitmap);
    ZQI_GRAPHICS(DrawText);
    ZQI_GRAPHICS(DrawTriangles);
    ZQI_GRAPHICS(DrawTrianglesFromBuffers);
    ZQI_GRAPHICS(DrawTrianglesFromVertexFormat);
    ZQI_GRAPHICS(DrawTrianglesInstanced);
    ZQI_GRAPHICS(DrawTrianglesRange);
    table->Reserved28 = ReservedNothing;
    table->Reserved29 = ReservedNothing;
    table->Reserved30 = ReservedNothing;
    ZQI_GRAPHICS(FreeIndexBuffer);
    ZQI_GRAPHICS(FreeVertexBuffer);
    ZQI_GRAPHICS(GetAlpha);
    ZQI_GRAPHICS(GetBitmap);
    ZQI_GRAPHICS(GetBitmapFromHandle);
    ZQI_GRAPHICS(GetBitmapWithCacheMode);
    ZQI_GRAPHICS(GetBlendMode);
    ZQI_GRAPHICS(GetColor);
    ZQI_GRAPHICS(GetDepth);
    ZQI_GRAPHICS(GetDisplayCount);
    table->Reserved41 = ReservedThree;
    ZQI_GRAPHICS(GetFont);
    ZQI_GRAPHICS(GetMaximumTextureSize);
    ZQI_GRAPHICS(GetNumBitmaps);
    ZQI_GRAPHICS(GetTextureFilter);
    ZQI_GRAPHICS(GetRenderFlag);
    table->Reserved47 = ReservedZero;
    ZQI_GRAPHICS(GetRenderState);
    ZQI_GRAPHICS(GetShader);
    ZQI_GRAPHICS(GetShaderConstant);
    ZQI_GRAPHICS(GetShaderConstantIndex);
    ZQI_GRAPHICS(GetShaderPixelConstant);
    ZQI_GRAPHICS(GetShaderPixelConstantIndex);
    ZQI_GRAPHICS(GetShaderTags);
    ZQI_GRAPHICS(GetShaderUserValue);
    ZQI_GRAPHICS(GetShaderVertexConstant);
    ZQI_GRAPHICS(GetShaderVertexConstantIndex);
    ZQI_GRAPHICS(GetSupportedResolutions);
    ZQI_GRAPHICS(GetTextAlignment);
    ZQI_GRAPHICS(GetTextHeight);
    ZQI_GRAPHICS(GetTextSize);
    ZQI_GRAPHICS(GetTextureIndex);
    ZQI_GRAPHICS(GetTextWidth);
    ZQI_GRAPHICS(GetViewportSize);
    ZQI_GRAPHICS(GetViewPosition);
    ZQI_GRAPHICS(IncreaseBitmapReferenceCount);
    table->Reserved67 = ReservedFalse;
    ZQI_GRAPHICS(IsShaderLoaded);
    ZQI_GRAPHICS(IsTextureFormatSupported);
    ZQI_GRAPHICS(LoadBitmap);
    ZQI_GRAPHICS(LoadFont);
    ZQI_GRAPHICS(LockIndexBuffer);
    ZQI_GRAPHICS(LockVertexBuffer);
    ZQI_GRAPHICS(PeekProjectionTransform);
    ZQI_GRAPHICS(PeekRenderTarget);
    ZQI_GRAPHICS(PeekViewTransform);
    ZQI_GRAPHICS(PeekWorldTransform);
    ZQI_GRAPHICS(PopProjectionTransform);
    ZQI_GRAPHICS(PopRenderTargets);
    ZQI_GRAPHICS(PopScissorRectangle);
    ZQI_GRAPHICS(PopShader);
    ZQI_GRAPHICS(PopViewTransform);
    ZQI_GRAPHICS(PopWorldTransform);
    ZQI_GRAPHICS(PushProjectionTransform);
    ZQI_GRAPHICS(PushRenderTarget);
    ZQI_GRAPHICS(PushRenderTargets);
    ZQI_GRAPHICS(PushRenderTargetWithDepth);
    ZQI_GRAPHICS(PushScissorRectangle);
    ZQI_GRAPHICS(PushShader);
    ZQI_GRAPHICS(PushViewTransform);
    ZQI_GRAPHICS(PushWorldTransform);
    ZQI_GRAPHICS(RefreshBitmap);
    ZQI_GRAPHICS(RefreshFont);
    ZQI_GRAPHICS(ReleaseBitmap);
    ZQI_GRAPHICS(ReleaseFont);
    ZQI_GRAPHICS(ReloadShader);
    ZQI_GRAPHICS(RemoveBitmapHandle);
    ZQI_GRAPHICS(ResizeBitmap);
    ZQI_GRAPHICS(SaveBitmap);
    ZQI_GRAPHICS(SaveFont);
    table->Reserved101 = ReservedNothing;
    ZQI_GRAPHICS(SetAlpha);
    ZQI_GRAPHICS(SetBitmapCacheMode);
    ZQI_GRAPHICS(SetBitmapFrame);
    ZQI_GRAPHICS(SetBlendMode);
    ZQI_GRAPHICS(SetColor);
    ZQI_GRAPHICS(SetColorRGBA);
    ZQI_GRAPHICS(SetDepth);
    ZQI_GRAPHICS(SetDepthParameters);
    ZQI_GRAPHICS(SetFontShader);
    table->Reserved111 = ReservedNothing;
    ZQI_GRAPHICS(SetTextureFilter);
    ZQI_GRAPHICS(SetVSync);
    table->Reserved114 = ReservedFalse;
    ZQI_GRAPHICS(SetRenderFlag);
    table->Reserved116 = ReservedNothing;
    ZQI_GRAPHICS(SetRenderState);
    ZQI_GRAPHICS(SetBitmapSourceRectangle);
    ZQI_GRAPHICS(SetScissorRectangle);
    ZQI_GRAPHICS(SetShader);
    ZQI_GRAPHICS(SetShaderConstant);
    ZQI_GRAPHICS(SetShaderPixelConstant);
    ZQI_GRAPHICS(SetShaderVertexConstant);
    ZQI_GRAPHICS(SetTextureStageAddressMode);
    ZQI_GRAPHICS(SetTextureStageFilter);
    ZQI_GRAPHICS(SetTextAlignment);
    ZQI_GRAPHICS(SetTextCharacterSpacing);
    ZQI_GRAPHICS(GetFontGlyph);
    ZQI_GRAPHICS(SetTextMaxWidth);
    ZQI_GRAPHICS(SetTextJustify);
    ZQI_GRAPHICS(SetTextTransform);
    ZQI_GRAPHICS(SetTextLineSpacing);
    ZQI_GRAPHICS(SetTextMarkupDisabled);
    ZQI_GRAPHICS(CanFontRenderText);
    ZQI_GRAPHICS(SetTexture);
    ZQI_GRAPHICS(ShaderHasTag);
    ZQI_GRAPHICS(FlushBatch);
    ZQI_GRAPHICS(UnlockIndexBuffer);
    ZQI_GRAPHICS(UnlockVertexBuffer);
}

void ZQI_FillUnavailableRootSlots(zq_api_t* table) {
    ZQI_ROOT(SetMouseCursor, "window");
    ZQI_ROOT(GetMousePosition, "window");
    ZQI_ROOT(SetMousePosition, "window");
    ZQI_ROOT(GetParameter, "manifest");
    ZQI_ROOT(ExtensionCall, "extension call");
    table->SendHttpRequest = SendHttpRequestUnavailable;
    table->SendRawHttpRequest = SendRawHttpRequestUnavailable;
}
