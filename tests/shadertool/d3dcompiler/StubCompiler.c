/* A d3dcompiler_47.dll that lacks D3DCompile: the compiler's library search must free it and go
   on to the next version. */
__declspec(dllexport) int StubCompilerVersion(void) {
    return 47;
}
