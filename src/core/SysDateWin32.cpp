// Windows body of ZQI_SysConvertToLocalDate: the C runtime's 64-bit local time conversion.
#include "core/SysDate.h"

#include <cstring>
#include <ctime>

#include "core/SysDateCommon.h"

bool ZQI_SysConvertToLocalDate(int64_t secondsSince1970, ZQI_SysDate* date) {
    memset(date, 0, sizeof(*date));
    struct tm local;
    __time64_t instant = static_cast<__time64_t>(secondsSince1970);
    if (_localtime64_s(&local, &instant) != 0) {
        return false;
    }
    ZQI_CopyBrokenDownTime(local, date);
    return true;
}
