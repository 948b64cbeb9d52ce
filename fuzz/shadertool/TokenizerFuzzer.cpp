// Fuzz target of the shading-language tokenizer. The first byte chooses the reading options
// (bit 0 normalise, bit 1 check underscores, bit 2 a type-name lookup); the rest is the source
// text. Every run must end at the end of the text with consistent token records.
#include <cstdint>
#include <cstring>
#include <string>

#include "shadertool/MessageLog.h"
#include "shadertool/Tokenizer.h"

namespace {

class EveryThirdName : public ShaderTool::TypeNameLookup {
public:
    bool IsTypeName(const char* name) const override { return strlen(name) % 3 == 0; }
};

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t options = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    ShaderTool::ShaderSource source;
    source.fileName = "fuzz.shader";
    source.text = text.c_str();  // up to the first NUL
    source.firstLine = 1;
    ShaderTool::MessageLog log;
    EveryThirdName names;
    ShaderTool::Tokenizer tokenizer(&log, (options & 4) ? &names : nullptr);
    tokenizer.checkUnderscores = (options & 2) ? 1 : 0;
    tokenizer.Begin(source, (options & 1) != 0);

    // Every token but the last consumes at least one character, plus markers and '@' pairs.
    const int64_t limit = static_cast<int64_t>(tokenizer.length) + 2;
    int64_t count = 0;
    for (;;) {
        ShaderTool::Token token;
        token.Clear();
        tokenizer.NextToken(token);
        Check(token.length >= 0 && token.length <= ShaderTool::TOKEN_TEXT_MAX);
        Check(token.text[token.length] == '\0');
        Check(tokenizer.position >= 0 && tokenizer.position <= tokenizer.length);
        Check(token.code >= 0 && token.code <= ShaderTool::TOKEN_NONE);
        if (token.code == ShaderTool::TOKEN_END_OF_TEXT) {
            Check(tokenizer.position == tokenizer.length);
            break;
        }
        Check(++count <= limit);
    }
    tokenizer.End();

    ShaderTool::GetLiteralKind(source.text);
    String normalized = ShaderTool::NormalizeSourceText(source.text.CStr());
    Check(normalized.Length() <= source.text.Length());
    return 0;
}
