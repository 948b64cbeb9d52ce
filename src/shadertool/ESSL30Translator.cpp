// What OpenGL ES 3.0 writes differently from desktop GLSL.
#include "shadertool/ESSL30Translator.h"

#include <cstring>

namespace ShaderTool {

// ES 3.00 fragment shaders have no default precision for floats or 3D samplers.
void ESSL30Translator::WritePrologue() {
    static const char kPixelPrecision[] = "precision highp float;\nprecision lowp sampler3D;\n\n";
    if (stage == STAGE_PIXEL) {
        PrependDeclarations(kPixelPrecision, static_cast<int32_t>(strlen(kPixelPrecision)));
    }
}

// With more than one output ES requires each output's location.
void ESSL30Translator::WritePixelOutputDeclarations(const ShaderDescription& shaderDescription) {
    if (shaderDescription.pixelOutputs.count == 0) {
        return;
    }
    BeginDeclarationGroup();
    for (int32_t i = 0; i < shaderDescription.pixelOutputs.count; ++i) {
        declarations.AppendFormat("layout(location = %i) out vec4 _out_%s;\n", i,
                                  shaderDescription.pixelOutputs[i].CStr());
    }
}

}  // namespace ShaderTool
