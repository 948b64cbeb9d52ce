// The simulated services' per-thread generator.
#include "services/ServiceRandom.h"

namespace {

thread_local uint32_t t_state = 1;

}  // namespace

int32_t ZQI_ServiceRandom() {
    t_state = t_state * 214013u + 2531011u;
    return static_cast<int32_t>((t_state >> 16) & 0x7FFFu);
}

int32_t ZQI_ServiceRandomBelow(int32_t n) {
    if (n <= 0) {
        return 0;
    }
    return ZQI_ServiceRandom() % n;
}
