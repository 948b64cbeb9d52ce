// Setting aside stored files that cannot be read: the first free numbered name, then a move that
// never replaces a file.
#include "services/SetAsideFile.h"

#include "filesystem/FileSystemApi.h"

namespace {

// As the log file does while its name is taken, at most 99 further names.
const int32_t kMaximumCounter = 99;

}  // namespace

bool ZQI_SetAsideFile(const char* path, String* setAsidePath) {
    for (int32_t counter = 0; counter <= kMaximumCounter; ++counter) {
        if (counter == 0) {
            setAsidePath->Format("%s.bad", path);
        } else {
            setAsidePath->Format("%s-%d.bad", path, counter);
        }
        if (ZQ_FileSystem_FileExists(setAsidePath->CStr())) {
            continue;  // set aside before
        }
        // A move that never replaces: another instance of the game may set its own file aside
        // under this name between the look above and the move.
        if (ZQI_MoveFileToFreePath(path, setAsidePath->CStr())) {
            return true;
        }
        if (!ZQ_FileSystem_FileExists(setAsidePath->CStr())) {
            return false;  // the move itself failed, not the name
        }
    }
    return false;  // every name is taken
}
