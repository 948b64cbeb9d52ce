// Builds without the Direct3D shader compiler (the host build) have no run-time HLSL compiler:
// translation works, compilation is reported as not set up.
#include "shadertool/Compiler.h"

namespace ShaderTool {

Compiler* CreateHLSLCompiler(MessageLog*) {
    return nullptr;
}

}  // namespace ShaderTool
