// Run-time compilation of translated text to byte code. The HLSL compiler behind this interface
// is Windows code (d3dcompiler/); where a build has no compiler for a target, the factory gives
// none and the compile driver reports that the target cannot be compiled at run time.
#pragma once

#include <cstdint>

#include "foundation/ByteStream.h"
#include "shadertool/MessageLog.h"
#include "shadertool/ShaderType.h"

namespace ShaderTool {

class Compiler {
public:
    virtual ~Compiler() {}
    // Compiles zero-terminated text for one stage and variant (0: none named) and appends the
    // byte code to output. Errors and the compiler's own messages go to the log.
    virtual bool Compile(TargetFlags target, VariantFlags variant, int32_t stage, const char* text,
                         bool debug, ByteStream* output) = 0;
    // Finds and loads what the compiler needs; false when it cannot work here.
    virtual bool Initialize() { return false; }
};

// The HLSL compiler reporting into log, not yet initialised; null in builds without one.
Compiler* CreateHLSLCompiler(MessageLog* log);

}  // namespace ShaderTool
