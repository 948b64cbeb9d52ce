// The replaceable file services of the shader tool and their defaults (no file system).
#include "shadertool/SourceFiles.h"

namespace ShaderTool {

namespace {

SourceFileResult DefaultReadFile(const char*, String* text) {
    if (text != nullptr) {
        text->Assign(nullptr);
    }
    return SOURCE_FILE_NOT_FOUND;
}

bool DefaultGetModificationTime(const char*, int32_t*) {
    return false;
}

const SourceFileServices kDefaultServices = {DefaultReadFile, DefaultGetModificationTime};

SourceFileServices& InstalledServices() {
    static SourceFileServices services = kDefaultServices;
    return services;
}

}  // namespace

void SetSourceFileServices(const SourceFileServices* services) {
    SourceFileServices& installed = InstalledServices();
    installed = kDefaultServices;
    if (services == nullptr) {
        return;
    }
    if (services->readFile != nullptr) {
        installed.readFile = services->readFile;
    }
    if (services->getModificationTime != nullptr) {
        installed.getModificationTime = services->getModificationTime;
    }
}

const SourceFileServices& GetSourceFileServices() {
    return InstalledServices();
}

SourceFileResult ReadSourceFile(const char* path, String* text) {
    return InstalledServices().readFile(path, text);
}

bool GetSourceFileTime(const char* path, int32_t* seconds) {
    return InstalledServices().getModificationTime(path, seconds);
}

}  // namespace ShaderTool
