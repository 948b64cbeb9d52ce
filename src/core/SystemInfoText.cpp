// The system information text.
#include "core/SystemInfoText.h"

namespace {

const uint64_t kGigabyte = 1073741824u;

const char* OrUnknown(const char* text) {
    return text != nullptr && text[0] != '\0' ? text : "Unknown";
}

void AppendDisplay(String* out, const DisplayModeInfo& display, bool first) {
    out->AppendFormat("%s%ux%u@%u", first ? "" : ",", static_cast<unsigned>(display.width),
                      static_cast<unsigned>(display.height), static_cast<unsigned>(display.refreshRate));
}

}  // namespace

void ZQI_FormatSystemInfoText(String* out, const char* cpu, const char* gpu, uint64_t memoryBytes,
                              const char* os) {
    out->Format("CPU: %s", OrUnknown(cpu));
    out->AppendFormat("\nGPU: %s", OrUnknown(gpu));
    if (memoryBytes == 0) {
        out->Append("\nMemory: Unknown");
    } else {
        // Rounded up without adding first, which could overflow near the top of the range.
        const uint64_t gigabytes = memoryBytes / kGigabyte + (memoryBytes % kGigabyte != 0 ? 1 : 0);
        out->AppendFormat("\nMemory: %llu GB", static_cast<unsigned long long>(gigabytes));
    }
    out->AppendFormat("\nOS: %s", OrUnknown(os));
}

void ZQI_AppendDisplayList(String* out, const DisplayModeInfo* displays, int32_t count) {
    out->Append("\nDisplays: ");
    if (displays == nullptr || count <= 0) {
        out->Append("Unknown");
        return;
    }
    int32_t primary = -1;
    for (int32_t i = 0; i < count && primary < 0; ++i) {
        primary = displays[i].primary ? i : -1;
    }
    bool first = true;
    if (primary >= 0) {
        AppendDisplay(out, displays[primary], first);
        first = false;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (i != primary) {
            AppendDisplay(out, displays[i], first);
            first = false;
        }
    }
}
