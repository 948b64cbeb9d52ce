// Fuzz target: arbitrary bytes as a Shader XML document held in memory, read and translated for
// every target twice in the one shader tool state. Messages are expected; any crash, leak, hang,
// over-read or difference between the two runs is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "TranslationRuns.h"

using namespace ShaderTool;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 18)) {
        return 0;
    }
    const TargetFlags targets = TranslationFuzz::SetUpTargets();
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char path[] = "mem://fuzz/document.xml";
    TranslationFuzz::Capture runs[2];
    for (TranslationFuzz::Capture& run : runs) {
        ResetShaderToolState();
        if (!ReadShaderXml(path, text.c_str(), false, false)) {
            ResetShaderToolState();
            return 0;
        }
        run = TranslationFuzz::TranslateAndCapture(path, targets);
    }
    TranslationFuzz::RequireSame(runs[0], runs[1]);
    return 0;
}
