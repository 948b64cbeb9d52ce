// Names of the implementation types, as log lines show them.
#include "services/ExtensionModule.h"

const char* ZQI_GetImplementationTypeName(int32_t type) {
    static const char* const kNames[IMPLEMENTATION_TYPE_COUNT] = {
        "Null", "Cloud", "Leaderboards", "Achievement", "IAP", "Social", "UGC", "Notification", "Statistic"};
    if (type < 0 || type >= IMPLEMENTATION_TYPE_COUNT) {
        return "Unknown";
    }
    return kNames[type];
}
