// Local calendar time of a given instant: the one system function the engine API's date slots
// need beyond core/Sys.h. SysDateWin32.cpp and SysDatePosix.cpp hold the two bodies.
#pragma once

#include <cstdint>

#include "core/Sys.h"

// The local date and time of secondsSince1970 (UTC seconds). False, with date zeroed, when the
// system cannot represent that instant.
bool ZQI_SysConvertToLocalDate(int64_t secondsSince1970, ZQI_SysDate* date);
