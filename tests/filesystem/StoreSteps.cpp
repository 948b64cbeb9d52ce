// The cache system that shows a store's steps (see the header).
#include "StoreSteps.h"

#include <cstdio>
#include <new>
#include <string>

using namespace ZQFileSystem;

namespace {

// A file being stored: its writes and flushes go through the hook first.
class StepFile : public POSIXFile {
public:
    StepFile(StoreStepSystem* owner, const POSIXFile& opened, const char* path)
        : POSIXFile(opened.size, opened.scheme, true, opened.stream), owner_(owner), path_(path) {}

    uint64_t Write(const void* buffer, uint64_t count) override {
        return owner_->Before(STORE_WRITE, path_.c_str()) ? POSIXFile::Write(buffer, count) : 0;
    }
    bool Flush() override { return owner_->Before(STORE_FLUSH, path_.c_str()) && POSIXFile::Flush(); }

    const std::string& Path() const { return path_; }

private:
    StoreStepSystem* owner_;
    std::string path_;
};

}  // namespace

const char* StoreStepName(StoreStep step) {
    static const char* const kNames[] = {"open", "write", "flush", "close", "rename", "delete", "read"};
    return kNames[step];
}

StoreStepSystem::StoreStepSystem(const Hook& before) : WindowsPOSIXSystem(false), before_(before) {}

File* StoreStepSystem::OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) {
    const bool writing = mode != FILE_MODE_READ;
    if (!Before(writing ? STORE_OPEN : STORE_READ, nativePath)) {
        return nullptr;
    }
    File* file = WindowsPOSIXSystem::OpenFile(scheme, nativePath, mode);
    POSIXFile* native = dynamic_cast<POSIXFile*>(file);
    if (!writing || native == nullptr) {
        return file;
    }
    StepFile* stepping = new (std::nothrow) StepFile(this, *native, nativePath);
    if (stepping == nullptr) {
        WindowsPOSIXSystem::CloseFile(file);
        return nullptr;
    }
    delete native;  // the stream is the stepping file's now
    return stepping;
}

bool StoreStepSystem::CloseFile(File* file) {
    StepFile* stepping = dynamic_cast<StepFile*>(file);
    if (stepping != nullptr && !Before(STORE_CLOSE, stepping->Path().c_str())) {
        fclose(stepping->stream);  // the file's handle goes all the same, as after a failed close
        delete stepping;
        return false;
    }
    return WindowsPOSIXSystem::CloseFile(file);
}

bool StoreStepSystem::ReplaceFile(SchemeId scheme, const char* nativeSource, const char* nativeTarget,
                                  bool exchange) {
    return Before(STORE_RENAME, nativeTarget) &&
           WindowsPOSIXSystem::ReplaceFile(scheme, nativeSource, nativeTarget, exchange);
}

bool StoreStepSystem::DeleteFile(SchemeId scheme, const char* nativePath) {
    return Before(STORE_DELETE, nativePath) && WindowsPOSIXSystem::DeleteFile(scheme, nativePath);
}
