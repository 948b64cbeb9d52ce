// The OpenGL ES 3.0 target: GLSL31's text with located pixel outputs and the pixel stage's
// default precisions.
#pragma once

#include "shadertool/GLSL31Translator.h"

namespace ShaderTool {

class ESSL30Translator : public GLSL31Translator {
public:
    explicit ESSL30Translator(MessageLog* messageLog) : GLSL31Translator(messageLog) {}

    void WritePrologue() override;
    void WritePixelOutputDeclarations(const ShaderDescription& shaderDescription) override;
};

}  // namespace ShaderTool
