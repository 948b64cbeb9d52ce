/* A library named prog.dll that exports neither program entry point. */
__declspec(dllexport) int ZQ_NotAProgram(void) {
    return 1;
}
