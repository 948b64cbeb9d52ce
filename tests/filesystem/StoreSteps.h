// A native system for cache:// that shows each step a download store takes (making its temporary,
// writing, flushing, closing, renaming, deleting) and the reading of the stored file to a hook
// called right before the step, which can make the step fail. Used by the tests and by the child
// process that ends itself at a chosen step.
#pragma once

#include <functional>

#include "filesystem/WindowsPOSIXSystem.h"

enum StoreStep { STORE_OPEN, STORE_WRITE, STORE_FLUSH, STORE_CLOSE, STORE_RENAME, STORE_DELETE, STORE_READ };

const char* StoreStepName(StoreStep step);
// The step named so; false for a name that is none.
bool StoreStepFromName(const char* name, StoreStep* step);

class StoreStepSystem : public ZQFileSystem::WindowsPOSIXSystem {
public:
    // before(step, native path) runs right before each step; false makes the step fail without
    // running it (an opening gives null, a write 0 bytes, the rest false).
    typedef std::function<bool(StoreStep, const char*)> Hook;
    explicit StoreStepSystem(const Hook& before);

    bool Before(StoreStep step, const char* path) { return before_(step, path); }

    ZQFileSystem::File* OpenFile(SchemeId scheme, const char* nativePath,
                                 ZQFileSystem::FileMode mode) override;
    bool CloseFile(ZQFileSystem::File* file) override;
    bool ReplaceFile(SchemeId scheme, const char* nativeSource, const char* nativeTarget,
                     bool exchange) override;
    bool DeleteFile(SchemeId scheme, const char* nativePath) override;

private:
    Hook before_;
};
