// The disk-commit counter of the Windows tests: import-table entries of FlushFileBuffers
// redirected to a counting function while the counter lives.
#include "DiskCommits.h"

#include <windows.h>

#include <atomic>
#include <cstring>

namespace EngineTest {

namespace {

typedef BOOL(WINAPI* FlushFileBuffersFunction)(HANDLE);

std::atomic<int> g_commits{0};
FlushFileBuffersFunction g_real = nullptr;

BOOL WINAPI CountingFlushFileBuffers(HANDLE file) {
    g_commits.fetch_add(1);
    return g_real(file);
}

bool WriteEntry(void** entry, void* value) {
    DWORD protection = 0;
    if (!VirtualProtect(entry, sizeof(*entry), PAGE_READWRITE, &protection)) {
        return false;
    }
    *entry = value;
    VirtualProtect(entry, sizeof(*entry), protection, &protection);
    return true;
}

// Replaces every import entry of the module that leads to from (by name, or by address where
// the name table is gone) with to; the number replaced.
int RedirectImports(HMODULE module, void* from, void* to) {
    if (module == nullptr) {
        return 0;
    }
    auto* base = reinterpret_cast<uint8_t*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) {
        return 0;
    }
    int replaced = 0;
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name != 0; ++library) {
        auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        auto* names = library->OriginalFirstThunk != 0
                          ? reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk)
                          : nullptr;
        for (int i = 0; addresses[i].u1.Function != 0; ++i) {
            bool named = false;
            if (names != nullptr && !IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal)) {
                auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names[i].u1.AddressOfData);
                named = strcmp(reinterpret_cast<const char*>(byName->Name), "FlushFileBuffers") == 0;
            }
            void** entry = reinterpret_cast<void**>(&addresses[i].u1.Function);
            if ((named || *entry == from) && *entry != to && WriteEntry(entry, to)) {
                ++replaced;
            }
        }
    }
    return replaced;
}

HMODULE CountedModules(int index) {
    return index == 0 ? GetModuleHandleA(nullptr) : GetModuleHandleA("msvcrt.dll");
}

}  // namespace

ScopedDiskCommitCounter::ScopedDiskCommitCounter() : redirected_(0) {
    g_real = reinterpret_cast<FlushFileBuffersFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "FlushFileBuffers")));
    g_commits = 0;
    for (int i = 0; i < 2 && g_real != nullptr; ++i) {
        redirected_ += RedirectImports(CountedModules(i), reinterpret_cast<void*>(g_real),
                                       reinterpret_cast<void*>(CountingFlushFileBuffers));
    }
}

ScopedDiskCommitCounter::~ScopedDiskCommitCounter() {
    for (int i = 0; i < 2; ++i) {
        RedirectImports(CountedModules(i), reinterpret_cast<void*>(CountingFlushFileBuffers),
                        reinterpret_cast<void*>(g_real));
    }
}

int ScopedDiskCommitCounter::Count() const {
    return g_commits.load();
}

void ScopedDiskCommitCounter::Reset() {
    g_commits = 0;
}

}  // namespace EngineTest
