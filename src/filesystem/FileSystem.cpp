// Base behaviour of ZQFileSystem::System and ZQFileSystem::File: every optional operation
// answers "not supported", and existence is tested by opening.
#include "filesystem/FileSystem.h"

#include <cstring>

namespace ZQFileSystem {

File::File(uint64_t size, uint32_t flags, SchemeId scheme, bool writable)
    : size(size), flags(flags), scheme(scheme), writable(writable ? 1 : 0) {}

File::~File() {}

bool File::Flush() {
    return true;
}

int32_t File::GetNativeHandle(uint32_t* /*offset*/) {
    return -1;
}

bool File::EndRewrite() {
    return true;
}

uint64_t File::Write(const void* /*buffer*/, uint64_t /*count*/) {
    return 0;
}

System::System() : mountable(0), rewritable(0) {}

System::~System() {}

bool System::CreateDirectory(SchemeId, const char*) {
    return false;
}

bool System::CreateRootDirectory(SchemeId) {
    return false;
}

bool System::DeleteDirectory(SchemeId, const char*) {
    return false;
}

bool System::DeleteFile(SchemeId, const char*) {
    return false;
}

bool System::ReplaceFile(SchemeId, const char*, const char*, bool) {
    return false;
}

bool System::MoveToFreePath(SchemeId, const char*, const char*) {
    return false;
}

bool System::FileExists(SchemeId scheme, const char* nativePath) {
    File* file = OpenFile(scheme, nativePath, FILE_MODE_READ);
    if (file == nullptr) {
        return false;
    }
    CloseFile(file);
    return true;
}

bool System::CanWriteFile(SchemeId scheme, const char* nativePath) {
    if (FileExists(scheme, nativePath)) {
        return true;  // opening it for writing would empty it, and the deletion remove it
    }
    File* probe = OpenFile(scheme, nativePath, FILE_MODE_WRITE);
    if (probe == nullptr) {
        return false;
    }
    CloseFile(probe);
    DeleteFile(scheme, nativePath);
    return true;
}

void System::FindFiles(SchemeId, const char*, const char*, const Array<String>&, bool, Array<String>&) {}

bool System::GetFileInfo(SchemeId, const char*, zq_file_info_t*) {
    return false;
}

bool System::Mount(uint32_t) {
    return false;
}

void System::Unmount() {}

}  // namespace ZQFileSystem

void ZQI_AppendUniquePath(Array<String>& out, const char* prefix, const char* name) {
    String text;
    if (prefix != nullptr && prefix[0] != '\0') {
        text.Format("%s%s", prefix, name != nullptr ? name : "");
    } else {
        text = name;
    }
    if (text.IsEmpty()) {
        return;
    }
    for (const String& existing : out) {
        if (existing.Length() == text.Length() && strcmp(existing.CStr(), text.CStr()) == 0) {
            return;
        }
    }
    out.Push(text);
}
