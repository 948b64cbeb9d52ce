// Fuzz target: reads arbitrary bytes as a Shader XML document held in memory, in full and in
// list mode (the first byte picks), and runs the target-list and first-line scanners over the
// same text. Any crash, leak, hang or over-read is a finding; messages are expected.
#include <cstddef>
#include <cstdint>
#include <string>

#include "shadertool/MessageLog.h"
#include "shadertool/ShaderDescription.h"
#include "shadertool/ShaderXmlReader.h"

using namespace ShaderTool;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) {
        return 0;
    }
    const bool list = (data[0] & 1) != 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    MessageLog log;
    ShaderDescription description;
    ShaderXmlReader reader(&log, &description);
    reader.ReadText(nullptr, text.data(), static_cast<int32_t>(text.size()), list);

    Array<int32_t> lines;
    FindSourceLineNumbers(text.c_str(), &lines);
    // A target list is at most one attribute value: the first line stands for it.
    ParseTargetList(text.substr(0, text.find('\n')).c_str());
    return 0;
}
