// Another instance of the game saving one file with the test's other instance. Each round: mount,
// write the whole save (bytes of its own), and once "go-<round>" is in the sync folder, unmount;
// then report in "<tag>-<round>": "1\n" and the bytes when the save answered success, "0\n" not.
// Arguments: save folder, file name, tag (one letter), rounds, sync folder. On the host, a file
// "held" in the sync folder stands for the reader the test holds on Windows: "w" (shares writing:
// nothing moved over or away from the file), "r" (shares reading only: not written either).
// Exit code 0 when every round ran.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "InstanceRounds.h"
#include "core/ApiTable.h"
#include "filesystem/MountSystem.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/WindowsPOSIXSystem.h"

using namespace ZQFileSystem;

namespace {

bool g_failed = false;

// A save answers failure with an error line saying it could not be saved.
int32_t RecordLog(int32_t level, const char* format, ...) {
    char text[4096];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    if (level >= 2 && strstr(text, "could not be saved") != nullptr) {
        g_failed = true;
    }
    return 0;
}

class HeldFileDisk : public WindowsPOSIXSystem {
public:
    HeldFileDisk(const std::string& file, const std::string& marker)
        : WindowsPOSIXSystem(true), file_(file), marker_(marker) {}
    bool ReplaceFile(SchemeId scheme, const char* source, const char* target, bool exchange) override {
        return ((file_ != source && file_ != target) || Sharing() == 0) &&
               WindowsPOSIXSystem::ReplaceFile(scheme, source, target, exchange);
    }
    File* OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) override {
        return mode != FILE_MODE_READ && file_ == nativePath && Sharing() == 'r'
                   ? nullptr
                   : WindowsPOSIXSystem::OpenFile(scheme, nativePath, mode);
    }

private:
    // The marker's first byte; 0 when there is none.
    char Sharing() const {
#if defined(_WIN32)
        return 0;  // the test holds the file for real
#else
        FILE* marker = fopen(marker_.c_str(), "rb");
        const int sharing = marker != nullptr ? fgetc(marker) : EOF;
        if (marker != nullptr) {
            fclose(marker);
        }
        return sharing == EOF ? 0 : static_cast<char>(sharing);
#endif
    }
    std::string file_;
    std::string marker_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        return 2;
    }
    ZQI_GetApi()->Log = RecordLog;
    ZQI_SetSchemeRoot(SCHEME_SAVE, argv[1]);  // where its mounts look for saves left beside their files
    const std::string file = std::string(argv[1]) + "/" + argv[2], sync = argv[5];
    const char tag = argv[3][0];
    const int rounds = atoi(argv[4]);
    for (int round = 0; round < rounds; ++round) {
        // All but the unmount is done before the start, so both instances' unmounts begin at once.
        const std::string bytes = InstanceRounds::RoundBytes(tag, round);
        g_failed = false;
        MountSystem save(new HeldFileDisk(file, sync + "/held"));
        if (!save.Mount(0)) {
            return 2;
        }
        File* opened = save.OpenFile(SCHEME_SAVE, file.c_str(), FILE_MODE_WRITE);
        const bool written = opened != nullptr && opened->Write(bytes.data(), bytes.size()) == bytes.size();
        if (opened != nullptr) {
            save.CloseFile(opened);
        }
        if (!InstanceRounds::WaitForFile(sync + "/go-" + std::to_string(round))) {
            return 3;
        }
        save.Unmount();
        const bool answered = written && !g_failed;  // a refused opening answered failure at once
        if (!InstanceRounds::ReportByRename(sync + "/" + std::string(1, tag) + "-" + std::to_string(round),
                                            answered ? "1\n" + bytes : "0\n")) {
            return 2;
        }
    }
    return 0;
}
