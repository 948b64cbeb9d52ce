// Test harness for the language front end: runs a source through the analyzer and parser the
// way the compile driver does, over a description with stage variables of every kind.
#pragma once

#include <string>

#include "shadertool/Analyzer.h"
#include "shadertool/MessageLog.h"
#include "shadertool/ShaderDescription.h"
#include "shadertool/preprocessor/Preprocessor.h"

namespace ShaderToolTest {

// Vertex inputs position/color/uv, vertex outputs position/color/uv, pixel output color,
// textures diffuse (2D), environment (cube) and volume (3D), constants, buffers (an INDEX
// buffer, an array of four INDEX buffers, a float4 buffer and a uint3 buffer that is no INDEX
// buffer), an image and a float4 input ray payload.
ShaderTool::ShaderDescription MakeTestDescription(uint32_t version = 0x20004);

class FrontEnd {
public:
    ShaderTool::MessageLog log;
    ShaderTool::SemanticAnalyzer analyzer;
    ShaderTool::ShaderDescription description;
    ShaderTool::Preprocessor preprocessor;  // reports into log, built-in definitions added
    int parseResult;

    FrontEnd();

    // Begins the stage, declares its variables, parses and, when nothing failed so far, runs the
    // whole-program checks and reports unset vertex outputs. Comments are removed first, as the
    // preprocessor does. Returns whether the source analysed without errors.
    bool Run(const std::string& text, int32_t stage, const char* fileName = "test.shader");

    // The driver's whole analysis of one source of a document: preprocesses it for target over
    // the document's description (which replaces the test description), then analyses the
    // preprocessed text as above. Returns whether both steps succeeded.
    bool RunDocumentSource(const ShaderTool::ShaderDescription& document,
                           const ShaderTool::ShaderSource& documentSource, ShaderTool::TargetFlags target);

    std::string Messages() const { return log.text.CStr(); }

private:
    ShaderTool::ShaderSource source;

    bool Analyze();
};

}  // namespace ShaderToolTest
