// The native listing over the platform's folder enumeration.
#include "filesystem/NativeListing.h"

#include "filesystem/EngineTemporaries.h"
#include "filesystem/FileSystem.h"
#include "filesystem/NativePlatform.h"

namespace {

// Deeper folder trees than this are not listed: they come from link loops, not from games.
const int32_t kMaxListingDepth = 64;

struct ListingPass {
    SchemeId scheme;
    const char* prefix;
    const char* folder;
    const Array<String>* wildcards;
    bool folderPass;
    int32_t depth;
    Array<String>* out;
};

void ListFiles(SchemeId scheme, const char* prefix, const char* folder, const Array<String>& wildcards,
               bool recursive, int32_t depth, Array<String>& out);

void VisitEntry(const char* name, bool isFolder, void* context) {
    const ListingPass& pass = *static_cast<const ListingPass*>(context);
    if (pass.folderPass) {
        if (isFolder && pass.depth < kMaxListingDepth) {
            String prefix = String::FromFormat("%s%s/", pass.prefix, name);
            String folder = String::FromFormat("%s%s/", pass.folder, name);
            ListFiles(pass.scheme, prefix.CStr(), folder.CStr(), *pass.wildcards, true, pass.depth + 1,
                      *pass.out);
        }
    } else if (!isFolder && !ZQI_IsEngineTemporaryName(name)) {
        // The engine's temporaries are no files of the folder: one left by a crash or kept on
        // purpose would otherwise be loaded as a save or a cached download of its own.
        ZQI_AppendUniquePath(*pass.out, pass.prefix, name);
    }
}

void ListDirectory(SchemeId scheme, const char* prefix, const char* folder, const Array<String>& wildcards,
                   int32_t passIndex, int32_t depth, Array<String>& out) {
    String pattern(folder);
    pattern.Append(passIndex < 0 ? "*" : wildcards[passIndex].CStr());
    ListingPass pass = {scheme, prefix, folder, &wildcards, passIndex < 0, depth, &out};
    ZQI_NativeListFolder(pattern.CStr(), VisitEntry, &pass);
}

void ListFiles(SchemeId scheme, const char* prefix, const char* folder, const Array<String>& wildcards,
               bool recursive, int32_t depth, Array<String>& out) {
    if (recursive) {
        ListDirectory(scheme, prefix, folder, wildcards, -1, depth, out);
    }
    for (int32_t i = 0; i < wildcards.count; ++i) {
        ListDirectory(scheme, prefix, folder, wildcards, i, depth, out);
    }
}

struct TemporarySearch {
    const char* folder;
    int32_t depth;
    Array<String>* out;
};

void FindTemporaries(const char* folder, int32_t depth, Array<String>& out);

void VisitForTemporaries(const char* name, bool isFolder, void* context) {
    const TemporarySearch& search = *static_cast<const TemporarySearch*>(context);
    if (isFolder) {
        if (search.depth < kMaxListingDepth) {
            String folder = String::FromFormat("%s%s/", search.folder, name);
            FindTemporaries(folder.CStr(), search.depth + 1, *search.out);
        }
    } else if (ZQI_IsEngineTemporaryName(name)) {
        search.out->Push(String::FromFormat("%s%s", search.folder, name));
    }
}

void FindTemporaries(const char* folder, int32_t depth, Array<String>& out) {
    String pattern = String::FromFormat("%s*", folder);
    TemporarySearch search = {folder, depth, &out};
    ZQI_NativeListFolder(pattern.CStr(), VisitForTemporaries, &search);
}

}  // namespace

void ZQI_ListNativeTemporaries(const char* folder, Array<String>& out) {
    if (folder != nullptr && folder[0] != '\0') {
        FindTemporaries(folder, 0, out);
    }
}

void ZQI_ListNativeFiles(SchemeId scheme, const char* prefix, const char* folder,
                         const Array<String>& wildcards, bool recursive, Array<String>& out) {
    ListFiles(scheme, prefix != nullptr ? prefix : "", folder != nullptr ? folder : "", wildcards, recursive,
              0, out);
}

void ZQI_ListNativeDirectory(SchemeId scheme, const char* prefix, const char* folder,
                             const Array<String>& wildcards, int32_t pass, Array<String>& out) {
    if (pass >= wildcards.count) {
        return;
    }
    ListDirectory(scheme, prefix != nullptr ? prefix : "", folder != nullptr ? folder : "", wildcards, pass,
                  0, out);
}
