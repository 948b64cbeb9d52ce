// A disk that really fills in the middle of a write: a tmpfs of a few KiB mounted on a folder of
// its own while the object lives. The host build mounts it itself; the Windows build under Wine
// has a Unix shell mount it below "/tmp" and reaches it through Wine's drive for the Unix root.
// Where the kernel refuses (no privilege; not under Wine), Mounted() is false and Refusal() says why.
// CI runs the suite as root, where the mount must work: there a refusal fails the test instead of
// skipping it, since a skipped test inside a Windows test executable passes unseen.
#pragma once

#include <string>

class SmallDisk {
public:
    explicit SmallDisk(int kibibytes);
    ~SmallDisk();  // unmounts it and removes its folder

    bool Mounted() const { return mounted_; }
    // True in CI (the variable CI is set), where a test must not skip for want of the disk.
    static bool Required();
    const std::string& Refusal() const { return refusal_; }
    const std::string& Folder() const { return folder_; }  // "/"-separated, as this build's files take it

    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

private:
    std::string folder_;
    std::string refusal_;
    bool mounted_ = false;
};
