/* A program library exporting only the older ZQ_GetInterface, which returns its own record. */
#include "zorqa.h"

static zq_program_t g_record = {.interface_version = ZQ_INTERFACE_VERSION, .id = "legacy", .title = "legacy"};

__declspec(dllexport) zq_program_t* ZQ_GetInterface(void) {
    return &g_record;
}
