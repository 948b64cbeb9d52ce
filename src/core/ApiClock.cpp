// The clock and date slots of the engine API: time since start-up in milliseconds and
// nanoseconds, calendar seconds, and local dates.
#include <cstring>
#include <ctime>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/Sys.h"
#include "core/SysDate.h"

namespace {

zq_date_t EmptyDate() {
    zq_date_t date;
    memset(&date, 0, sizeof(date));
    return date;
}

// Year to second; the caller decides about weekday and day of the year.
void CopyDateAndTime(const ZQI_SysDate& local, zq_date_t* date) {
    date->year = static_cast<uint16_t>(local.year);
    date->month = static_cast<uint8_t>(local.month);
    date->day = static_cast<uint8_t>(local.day);
    date->hour = static_cast<uint8_t>(local.hour);
    date->minute = static_cast<uint8_t>(local.minute);
    date->second = static_cast<uint8_t>(local.second);
}

}  // namespace

uint32_t ZQ_GetMilliseconds() {
    // Unsigned arithmetic: the difference stays right across the clock's wrap at 2^32.
    return ZQI_SysMilliseconds() - g_core.startMilliseconds;
}

int64_t ZQ_GetNanoseconds() {
    return ZQI_SysNanoseconds() - g_core.startNanoseconds;
}

int64_t ZQ_GetCalendarTime() {
    return static_cast<int64_t>(time(nullptr));
}

zq_date_t ZQ_ConvertTimeToDate(uint32_t seconds) {
    zq_date_t date = EmptyDate();
    ZQI_SysDate local;
    if (!ZQI_SysConvertToLocalDate(static_cast<int64_t>(seconds), &local)) {
        ZQ_Log(LOG_LEVEL_ERROR, "ZQ_ConvertTimeToDate: no local time for %u seconds.", seconds);
        return date;
    }
    CopyDateAndTime(local, &date);
    return date;
}

zq_date_t ZQ_GetLocalDate() {
    zq_date_t date = EmptyDate();
    ZQI_SysDate local;
    ZQI_SysGetLocalDate(&local);
    CopyDateAndTime(local, &date);
    date.weekday = local.weekday;
    date.day_of_year = local.yearDay;
    return date;
}
