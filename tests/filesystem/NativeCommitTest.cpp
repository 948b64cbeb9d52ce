// Disk commits of the Windows build's native files, counted where they reach the system: each
// costs a whole disk sync, so a flush commits what changed since the last one, once.
#include <gtest/gtest.h>

#include <string>

#include "FileSystemTestSupport.h"
#include "filesystem/WindowsPOSIXSystem.h"

#if defined(_WIN32)
#include "DiskCommits.h"

using namespace ZQFileSystem;

TEST(NativeCommitTest, AFlushCommitsWhatChangedSinceTheLastOneAndClosingAddsNothing) {
    struct Case {
        bool commitFlag;  // the system's: close flushes written files
        FileMode mode;
        const char* steps;  // w: write, f: flush, e: end a rewrite; then close
        int commits;
    };
    const Case cases[] = {
        {false, FILE_MODE_WRITE, "wf", 1},  {false, FILE_MODE_WRITE, "w", 0},
        {false, FILE_MODE_WRITE, "wff", 1}, {false, FILE_MODE_WRITE, "wfwf", 2},
        {false, FILE_MODE_WRITE, "f", 1},   {false, FILE_MODE_REWRITE, "wef", 1},
        {false, FILE_MODE_READ, "f", 0},    {false, FILE_MODE_APPEND, "wf", 1},
        {true, FILE_MODE_WRITE, "w", 1},
        {true, FILE_MODE_WRITE, "wf", 1},
    };
    TempFolder temp;
    const std::string path = temp.Join("commits.bin");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.steps) + (c.commitFlag ? " with the commit flag" : ""));
        WriteNativeFile(path, "0123456789");
        WindowsPOSIXSystem system(c.commitFlag);
        EngineTest::ScopedDiskCommitCounter commits;
        ASSERT_GT(commits.RedirectedEntries(), 0);
        File* file = system.OpenFile(SCHEME_USER, path.c_str(), c.mode);
        ASSERT_NE(nullptr, file);
        for (const char* step = c.steps; *step != '\0'; ++step) {
            EXPECT_TRUE(*step == 'w'   ? file->Write("abc", 3) == 3
                        : *step == 'f' ? file->Flush()
                                       : file->EndRewrite());
        }
        EXPECT_TRUE(system.CloseFile(file));
        EXPECT_EQ(c.commits, commits.Count());
    }
}

#endif
