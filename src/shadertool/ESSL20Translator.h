// The OpenGL ES 2.0 target: GLSL 1.20's attributes, varyings and texture2D family with what
// ES 1.00 lacks taken out. Float literals lose their suffix, arrays are filled element by element,
// level-of-detail and gradient sampling and transpose are refused, and the pixel stage chooses
// its float precision.
#pragma once

#include "shadertool/GLSL21Translator.h"

namespace ShaderTool {

class ESSL20Translator : public GLSL21Translator {
public:
    explicit ESSL20Translator(MessageLog* messageLog) : GLSL21Translator(messageLog) {}

    void WritePrologue() override;
    void WriteInitializer(OperationNode* assignment) override;
    void WriteFunctionCall(Symbol* call) override;
    void WriteLiteral(LiteralNode* literal) override;
    void WriteArrayDeclarator(DeclarationNode* declaration) override;
    bool WriteInputVariable(const char* member, const Type& type) override;
};

}  // namespace ShaderTool
