// POSIX body of ZQI_SysConvertToLocalDate (host build): localtime_r.
#include "core/SysDate.h"

#include <cstring>
#include <ctime>

#include "core/SysDateCommon.h"

bool ZQI_SysConvertToLocalDate(int64_t secondsSince1970, ZQI_SysDate* date) {
    memset(date, 0, sizeof(*date));
    struct tm local;
    time_t instant = static_cast<time_t>(secondsSince1970);
    if (localtime_r(&instant, &local) == nullptr) {
        return false;
    }
    ZQI_CopyBrokenDownTime(local, date);
    return true;
}
