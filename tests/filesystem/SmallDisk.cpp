// A small tmpfs for a test (see the header).
#include "SmallDisk.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

bool SmallDisk::Required() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && ci[0] != '\0';
}

#if defined(_WIN32)
#include <windows.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace {

// Wine starts a Unix program handed to CreateProcess but cannot wait for it: the script writes
// its last status to a file, which is waited for. "" when no answer came.
std::string RunUnixShell(const std::string& script, const std::string& statusFile) {
    std::remove(statusFile.c_str());
    std::string command = "/bin/sh -c \"" + script + "; echo $? > " + statusFile.substr(2) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessA("/bin/sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return "";
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::string status;
    for (int waited = 0; waited < 10000 && status.empty(); waited += 20) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::ifstream file(statusFile);
        std::getline(file, status);
    }
    std::remove(statusFile.c_str());
    return status;
}

}  // namespace

SmallDisk::SmallDisk(int kibibytes) {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) {
        refusal_ = "not under Wine: no Unix kernel to mount a small file system with";
        return;
    }
    static std::atomic<int> counter(0);
    folder_ =
        "Z:/tmp/zq-small-disk-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
    const std::string unix = folder_.substr(2);
    const std::string status =
        RunUnixShell("mkdir -p " + unix + " && mount -t tmpfs -o size=" + std::to_string(kibibytes) +
                         "k zq-small-disk " + unix,
                     folder_ + ".status");
    mounted_ = status == "0";
    if (!mounted_) {
        refusal_ = "the kernel refused to mount a " + std::to_string(kibibytes) + " KiB tmpfs (status '" +
                   status + "'; the suite runs as root in CI)";
    }
}

SmallDisk::~SmallDisk() {
    if (!folder_.empty()) {
        RunUnixShell("umount -l " + folder_.substr(2) + "; rmdir " + folder_.substr(2), folder_ + ".status");
    }
}

#else
#include <errno.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <unistd.h>

SmallDisk::SmallDisk(int kibibytes) {
    char pattern[] = "/tmp/zq-small-disk-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        refusal_ = std::string("no folder to mount on: ") + strerror(errno);
        return;
    }
    folder_ = pattern;
    const std::string options = "size=" + std::to_string(kibibytes) + "k";
    mounted_ = mount("zq-small-disk", pattern, "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
    if (!mounted_) {
        refusal_ = "the kernel refused to mount a " + std::to_string(kibibytes) + " KiB tmpfs (" +
                   strerror(errno) + "; the suite runs as root in CI)";
    }
}

SmallDisk::~SmallDisk() {
    if (mounted_) {
        umount2(folder_.c_str(), MNT_DETACH);
    }
    if (!folder_.empty()) {
        rmdir(folder_.c_str());
    }
}

#endif
