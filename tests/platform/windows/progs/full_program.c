/* A program library exporting ZQ_GetProgramInterface. It echoes the engine's version word into
 * the record and titles it "zeroed" when the engine handed it an all-zero record, "dirty"
 * otherwise, so the loader's promises can be checked from outside. */
#include <string.h>

#include "zorqa.h"

static bool IsAllZero(const zq_program_t* program) {
    const unsigned char* bytes = (const unsigned char*)program;
    for (size_t i = 0; i < sizeof(*program); ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}

__declspec(dllexport) bool ZQ_GetProgramInterface(zq_program_t* program, uint32_t engine_version) {
    strcpy(program->title, IsAllZero(program) ? "zeroed" : "dirty");
    program->interface_version = engine_version;
    return true;
}
