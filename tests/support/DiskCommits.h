// Windows only: counts the disk commits (FlushFileBuffers, an fsync under Wine) the process asks
// for, from the C runtime (a committing stream, _commit) or direct calls, to compare with what a
// save should cost.
#pragma once

#if defined(_WIN32)

namespace EngineTest {

// While it lives, the import tables of the executable and of msvcrt.dll lead FlushFileBuffers
// through a counter to the real call. One at a time.
class ScopedDiskCommitCounter {
public:
    ScopedDiskCommitCounter();
    ~ScopedDiskCommitCounter();

    int Count() const;  // commits since the counter was made
    // The import entries redirected; 0 means nothing can be counted.
    int RedirectedEntries() const { return redirected_; }

private:
    int redirected_;
};

}  // namespace EngineTest

#endif
