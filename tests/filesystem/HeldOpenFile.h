// A native file held open by someone else, as a program reading its save or a second instance
// of the game holds it: a plain handle that never shares deletion, so Windows refuses to move
// another file over it while it is held. Windows only.
#pragma once

#if defined(_WIN32)
#include <string>

class HeldOpenFile {
public:
    enum Sharing {
        SHARE_READING,             // others may read it, not write it
        SHARE_READING_AND_WRITING  // what the C runtime's fopen shares
    };
    // Opens the existing file for reading with that sharing (and never FILE_SHARE_DELETE).
    HeldOpenFile(const std::string& path, Sharing sharing);
    ~HeldOpenFile();
    HeldOpenFile(const HeldOpenFile&) = delete;
    HeldOpenFile& operator=(const HeldOpenFile&) = delete;

    bool IsOpen() const;
    void Release();

private:
    void* handle_;
};
#endif
