// A native system for cache:// that calls a hook right before each step a download store takes
// and before the reading of the stored file; the hook can make the step fail (the tests) or end
// the process there (http_fetch_child).
#pragma once

#include <functional>

#include "filesystem/WindowsPOSIXSystem.h"

enum StoreStep { STORE_OPEN, STORE_WRITE, STORE_FLUSH, STORE_CLOSE, STORE_RENAME, STORE_DELETE, STORE_READ };

const char* StoreStepName(StoreStep step);

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
