// The disk-commit counter (see the header): import-table entries of FlushFileBuffers redirected.
#include "DiskCommits.h"

#include <windows.h>

#include <atomic>
#include <initializer_list>

namespace EngineTest {

namespace {

typedef BOOL(WINAPI* FlushFileBuffersFunction)(HANDLE);

std::atomic<int> g_commits{0};
FlushFileBuffersFunction g_real = nullptr;

BOOL WINAPI CountingFlushFileBuffers(HANDLE file) {
    g_commits.fetch_add(1);
    return g_real(file);
}

// Points every import entry of the executable and the C runtime that leads to from at to; the
// number of entries changed.
int RedirectImports(void* from, void* to) {
    int replaced = 0;
    for (HMODULE module : {GetModuleHandleA(nullptr), GetModuleHandleA("msvcrt.dll")}) {
        auto* base = reinterpret_cast<uint8_t*>(module);
        if (base == nullptr) {
            continue;
        }
        auto* nt =
            reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
             imports.VirtualAddress != 0 && library->Name != 0; ++library) {
            for (auto* entry = reinterpret_cast<void**>(base + library->FirstThunk); *entry != nullptr;
                 ++entry) {
                DWORD protection = 0;
                if (*entry == from && VirtualProtect(entry, sizeof(*entry), PAGE_READWRITE, &protection)) {
                    *entry = to;
                    VirtualProtect(entry, sizeof(*entry), protection, &protection);
                    ++replaced;
                }
            }
        }
    }
    return replaced;
}

}  // namespace

ScopedDiskCommitCounter::ScopedDiskCommitCounter() : redirected_(0) {
    g_real = reinterpret_cast<FlushFileBuffersFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "FlushFileBuffers")));
    g_commits = 0;
    if (g_real != nullptr) {
        redirected_ = RedirectImports(reinterpret_cast<void*>(g_real),
                                      reinterpret_cast<void*>(CountingFlushFileBuffers));
    }
}

ScopedDiskCommitCounter::~ScopedDiskCommitCounter() {
    RedirectImports(reinterpret_cast<void*>(CountingFlushFileBuffers), reinterpret_cast<void*>(g_real));
}

int ScopedDiskCommitCounter::Count() const {
    return g_commits.load();
}

}  // namespace EngineTest
