// CollectSystemInfo: what the engine knows about the machine - platform, Windows version, a
// unique id from the first network adapter's MAC address, the CPU brand, the primary display
// device and the physical memory; and the system information text made from it with the
// displays' current modes.
#include <windows.h>
#include <nb30.h>

#include <cpuid.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/CoreState.h"
#include "core/SystemInfoText.h"
#include "engine/Lifecycle.h"
#include "foundation/Array.h"
#include "foundation/EnumNames.h"

namespace {

SystemInfo g_systemInfo;

typedef LONG(WINAPI* RtlGetVersionFunction)(OSVERSIONINFOW*);

void ReadWindowsVersion(SystemInfo& info) {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    RtlGetVersionFunction getVersion =
        ntdll != nullptr ? reinterpret_cast<RtlGetVersionFunction>(
                               reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                         : nullptr;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (getVersion != nullptr && getVersion(&version) == 0) {
        snprintf(info.os, sizeof(info.os), "Windows %u.%u.%u", static_cast<unsigned>(version.dwMajorVersion),
                 static_cast<unsigned>(version.dwMinorVersion), static_cast<unsigned>(version.dwBuildNumber));
    }
}

// The adapter status answer: the header and room for the name table (600 bytes in all).
struct AdapterStatusBuffer {
    ADAPTER_STATUS status;
    NAME_BUFFER names[30];
};

bool ReadAdapterMac(UCHAR adapter, SystemInfo& info) {
    NCB reset = {};
    reset.ncb_command = NCBRESET;
    reset.ncb_lana_num = adapter;
    Netbios(&reset);

    AdapterStatusBuffer buffer = {};
    NCB status = {};
    status.ncb_command = NCBASTAT;
    status.ncb_lana_num = adapter;
    memset(status.ncb_callname, ' ', NCBNAMSZ);
    status.ncb_callname[0] = '*';
    status.ncb_buffer = reinterpret_cast<PUCHAR>(&buffer);
    status.ncb_length = 600;
    if (Netbios(&status) != NRC_GOODRET) {
        return false;
    }
    const UCHAR* mac = buffer.status.adapter_address;
    snprintf(info.uniqueId, sizeof(info.uniqueId), "%02x%02x%02x%02x%02x%02x%02x\n", adapter, mac[0], mac[1],
             mac[2], mac[3], mac[4], mac[5]);
    return true;
}

void ReadUniqueId(SystemInfo& info) {
    info.uniqueId[0] = '\0';
    LANA_ENUM adapters = {};
    NCB enumerate = {};
    enumerate.ncb_command = NCBENUM;
    enumerate.ncb_buffer = reinterpret_cast<PUCHAR>(&adapters);
    enumerate.ncb_length = sizeof(adapters);
    if (Netbios(&enumerate) == NRC_GOODRET) {
        for (UCHAR i = 0; i < adapters.length; ++i) {
            if (ReadAdapterMac(adapters.lana[i], info)) {
                break;
            }
        }
    }
    // Machines without an adapter still need an id that differs between them.
    if (strlen(info.uniqueId) < 3) {
        snprintf(info.uniqueId, sizeof(info.uniqueId), "TIME%xx%x", static_cast<unsigned>(time(nullptr)),
                 static_cast<unsigned>(rand()));
    }
}

void ReadCpuBrand(SystemInfo& info) {
    unsigned int regs[4] = {};
    unsigned int highest = __get_cpuid_max(0x80000000u, nullptr);
    if (highest <= 0x80000003u) {
        return;
    }
    char brand[49] = {};
    for (unsigned int leaf = 0; leaf < 3; ++leaf) {
        __cpuid(0x80000002u + leaf, regs[0], regs[1], regs[2], regs[3]);
        memcpy(brand + leaf * 16, regs, sizeof(regs));
    }
    size_t length = strlen(brand);
    while (length > 0 && strchr("\t\n\r ", brand[length - 1]) != nullptr) {
        brand[--length] = '\0';
    }
    snprintf(info.cpu, sizeof(info.cpu), "%s", brand);
}

void ReadPrimaryDisplayDevice(SystemInfo& info) {
    DISPLAY_DEVICEA device = {};
    device.cb = sizeof(device);
    for (DWORD i = 0; EnumDisplayDevicesA(nullptr, i, &device, 0); ++i) {
        if ((device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) != 0) {
            snprintf(info.gpu, sizeof(info.gpu), "%s", device.DeviceString);
            return;
        }
        device.cb = sizeof(device);
    }
}

// The current mode of every display device whose mode can be read, in enumeration order.
void ReadDisplayModes(Array<DisplayModeInfo>& displays) {
    DISPLAY_DEVICEA device = {};
    device.cb = sizeof(device);
    for (DWORD i = 0; EnumDisplayDevicesA(nullptr, i, &device, 0); ++i) {
        DEVMODEA mode = {};
        mode.dmSize = sizeof(mode);
        if (EnumDisplaySettingsA(device.DeviceName, ENUM_CURRENT_SETTINGS, &mode)) {
            DisplayModeInfo display;
            display.width = mode.dmPelsWidth;
            display.height = mode.dmPelsHeight;
            display.refreshRate = mode.dmDisplayFrequency;
            display.primary = (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) != 0;
            displays.Push(display);
        }
        device.cb = sizeof(device);
    }
}

void ReadPhysicalMemory(SystemInfo& info) {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof(status);
    info.memoryBytes = GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

}  // namespace

SystemInfo& ZQI_GetSystemInfoRecord() {
    return g_systemInfo;
}

void CollectSystemInfo() {
    SystemInfo& info = g_systemInfo;
    memset(&info, 0, sizeof(info));
    info.platformId = PLATFORM_ID_WINDOWS;
    info.screenSizeId = SCREEN_SIZE_LARGE;
    snprintf(info.deviceName, sizeof(info.deviceName), "PC");
    ReadWindowsVersion(info);
    ReadUniqueId(info);
    ReadCpuBrand(info);
    ReadPrimaryDisplayDevice(info);
    ReadPhysicalMemory(info);
}

void ZQI_BuildSystemInfoText() {
    const SystemInfo& info = g_systemInfo;
    ZQI_FormatSystemInfoText(&g_core.systemInfoText, info.cpu, info.gpu, info.memoryBytes, info.os);
    ZQI_AppendDisplayInfo();
}

void ZQI_AppendDisplayInfo() {
    Array<DisplayModeInfo> displays;
    ReadDisplayModes(displays);
    ZQI_AppendDisplayList(&g_core.systemInfoText, displays.data, displays.count);
}
