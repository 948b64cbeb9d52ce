// Shared by the two bodies of ZQI_SysConvertToLocalDate: copies a C library broken-down time
// into the engine's date record.
#pragma once

#include <ctime>

#include "core/Sys.h"

inline void ZQI_CopyBrokenDownTime(const struct tm& time, ZQI_SysDate* date) {
    date->year = time.tm_year + 1900;
    date->month = time.tm_mon + 1;
    date->day = time.tm_mday;
    date->hour = time.tm_hour;
    date->minute = time.tm_min;
    date->second = time.tm_sec;
    date->weekday = time.tm_wday;
    date->yearDay = time.tm_yday;
}
