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
#define ZQI_ROOT(member, subsystem) ZQI_STAND_IN(table, "ZQ_", subsystem, member)

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

void ZQI_FillUnavailableRootSlots(zq_api_t* table) {
    ZQI_ROOT(GetParameter, "manifest");
    table->SendHttpRequest = SendHttpRequestUnavailable;
    table->SendRawHttpRequest = SendRawHttpRequestUnavailable;
}
