/* A program library whose ZQ_GetProgramInterface refuses to create the program. */
#include "zorqa.h"

__declspec(dllexport) bool ZQ_GetProgramInterface(zq_program_t* program, uint32_t engine_version) {
    (void)program;
    (void)engine_version;
    return false;
}
