// Setting aside stored files that cannot be read: the first free numbered name, then one move.
#include "services/SetAsideFile.h"

#include "filesystem/FileSystemApi.h"

namespace {

// As the log file does while its name is taken, at most 99 further names.
const int32_t kMaximumCounter = 99;

}  // namespace

bool ZQI_SetAsideFile(const char* path, String* setAsidePath) {
    setAsidePath->Format("%s.bad", path);
    for (int32_t counter = 1; counter <= kMaximumCounter && ZQ_FileSystem_FileExists(setAsidePath->CStr());
         ++counter) {
        setAsidePath->Format("%s-%d.bad", path, counter);
    }
    if (ZQ_FileSystem_FileExists(setAsidePath->CStr())) {
        return false;  // every name is taken
    }
    // Checked, then moved: a file that another process makes under that name in between would be
    // replaced.
    return ZQI_ReplaceFile(path, setAsidePath->CStr());
}
