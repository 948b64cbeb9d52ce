// The native files' disk commits in the Windows build, counted where they reach the system
// (FlushFileBuffers): a flush commits what was written since the last commit, once; closing
// commits nothing of its own, except through the commit flag's flush.
#include <gtest/gtest.h>

#include <string>

#include "FileSystemTestSupport.h"
#include "filesystem/WindowsPOSIXSystem.h"

#if defined(_WIN32)
#include "DiskCommits.h"

using namespace ZQFileSystem;

namespace {

class NativeCommitTest : public FileSystemTest {};

// The steps a writer takes on one open file: w (write "abc"), f (flush), e (end a rewrite).
void Apply(File* file, const std::string& steps) {
    for (char step : steps) {
        if (step == 'w') {
            EXPECT_EQ(3u, file->Write("abc", 3));
        } else if (step == 'f') {
            EXPECT_TRUE(file->Flush());
        } else if (step == 'e') {
            EXPECT_TRUE(file->EndRewrite());
        }
    }
}

TEST_F(NativeCommitTest, AFlushCommitsWhatWasWrittenSinceTheLastOneAndClosingAddsNothing) {
    struct Case {
        const char* name;
        bool commitFlag;
        FileMode mode;
        const char* steps;
        int commits;
    };
    const Case cases[] = {
        {"write, flush, close", false, FILE_MODE_WRITE, "wf", 1},
        {"write, close", false, FILE_MODE_WRITE, "w", 0},
        {"flushed twice", false, FILE_MODE_WRITE, "wff", 1},
        {"written again after a flush", false, FILE_MODE_WRITE, "wfwf", 2},
        {"made empty and flushed", false, FILE_MODE_WRITE, "f", 1},
        {"append, flush, close", false, FILE_MODE_APPEND, "wf", 1},
        {"rewrite ended, flushed", false, FILE_MODE_REWRITE, "wef", 1},
        {"read, flush", false, FILE_MODE_READ, "f", 0},
        {"commit flag: write, close", true, FILE_MODE_WRITE, "w", 1},
        {"commit flag: write, flush, close", true, FILE_MODE_WRITE, "wf", 1},
        {"commit flag: rewrite ended, flushed", true, FILE_MODE_REWRITE, "wef", 1},
        {"commit flag: read", true, FILE_MODE_READ, "", 0},
    };
    const std::string path = NativePath(SCHEME_USER, "commits.bin");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteNativeFile(path, "0123456789");
        WindowsPOSIXSystem system(c.commitFlag);
        EngineTest::ScopedDiskCommitCounter commits;
        ASSERT_GT(commits.RedirectedEntries(), 0);
        File* file = system.OpenFile(SCHEME_USER, path.c_str(), c.mode);
        ASSERT_NE(nullptr, file);
        Apply(file, c.steps);
        EXPECT_TRUE(system.CloseFile(file));
        EXPECT_EQ(c.commits, commits.Count());
    }
}

}  // namespace

#endif
