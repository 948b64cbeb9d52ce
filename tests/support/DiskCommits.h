// Windows only: counts the disk commits (FlushFileBuffers, what Wine turns into fsync) that the
// process asks for, wherever they come from: the C runtime's own (a committing stream's flush or
// close, _commit) and direct calls. Tests compare the count with what a save should cost.
#pragma once

#if defined(_WIN32)

namespace EngineTest {

// While it lives, the import tables of the executable and of the C runtime (msvcrt.dll) lead
// FlushFileBuffers through a counter to the real call. One at a time.
class ScopedDiskCommitCounter {
public:
    ScopedDiskCommitCounter();
    ~ScopedDiskCommitCounter();
    ScopedDiskCommitCounter(const ScopedDiskCommitCounter&) = delete;
    ScopedDiskCommitCounter& operator=(const ScopedDiskCommitCounter&) = delete;

    // Commits asked for since the counter was made (or last reset).
    int Count() const;
    void Reset();
    // The import entries that were redirected; 0 means nothing can be counted.
    int RedirectedEntries() const { return redirected_; }

private:
    int redirected_;
};

}  // namespace EngineTest

#endif
