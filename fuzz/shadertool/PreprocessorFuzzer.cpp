// Fuzz target of the preprocessor: directives, expressions, includes and substitution. The
// input is split at NUL bytes: the first byte picks the target (low nibble mod 9) and stage
// (high nibble mod 5), the first part is the source "main.shader", the following parts are the
// files "1.inc", "2.inc" ... that it may include. The analyzer's tokenizer then reads the output
// as the compile driver would hand it over.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "shadertool/MessageLog.h"
#include "shadertool/SourceFiles.h"
#include "shadertool/Tokenizer.h"
#include "shadertool/preprocessor/Preprocessor.h"

namespace {

std::map<std::string, std::string> gFiles;

ShaderTool::SourceFileResult ReadFuzzFile(const char* path, String* text) {
    auto found = gFiles.find(path);
    if (found == gFiles.end()) {
        return ShaderTool::SOURCE_FILE_NOT_FOUND;
    }
    text->Assign(found->second.c_str());
    return ShaderTool::SOURCE_FILE_READ;
}

bool FuzzFileTime(const char*, int32_t* seconds) {
    *seconds = 1;
    return true;
}

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

ShaderTool::Preprocessor& SharedPreprocessor(ShaderTool::MessageLog& log) {
    // One preprocessor for the whole process, as in the shader tool state: resets between runs
    // must leave nothing behind.
    static ShaderTool::Preprocessor preprocessor(&log);
    static bool started = false;
    if (!started) {
        preprocessor.AddBuiltinDefinitions();
        started = true;
    }
    return preprocessor;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t selector = data[0];
    std::vector<std::string> parts(1);
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == 0) {
            parts.emplace_back();
        } else {
            parts.back().push_back(static_cast<char>(data[i]));
        }
    }
    gFiles.clear();
    for (size_t i = 1; i < parts.size(); ++i) {
        gFiles[std::to_string(i) + ".inc"] = parts[i];
    }
    const ShaderTool::SourceFileServices services = {ReadFuzzFile, FuzzFileTime};
    ShaderTool::SetSourceFileServices(&services);

    static ShaderTool::MessageLog log;
    log.Clear();
    ShaderTool::Preprocessor& preprocessor = SharedPreprocessor(log);
    preprocessor.trackInputTimes = (selector & 0x80) ? 1 : 0;
    ShaderTool::ShaderSource source;
    source.fileName = "main.shader";
    source.text = parts[0].c_str();
    source.stage = (selector >> 4) % 5;
    const ShaderTool::TargetFlags target = 1u << ((selector & 15) % 9);
    Array<String> additional;
    additional.PushText("COUNT");
    additional.PushText("3");
    const bool ok = preprocessor.Run(nullptr, target, source, &additional, false);
    Check(ok == (preprocessor.success != 0));
    Check(preprocessor.conditionDepth >= 0 &&
          preprocessor.conditionDepth <= ShaderTool::PP_MAX_CONDITION_DEPTH);

    if (ok) {
        ShaderTool::ShaderSource analyzed;
        analyzed.fileName = "main.shader";
        analyzed.text = preprocessor.output;
        ShaderTool::MessageLog analyzerLog;
        ShaderTool::Tokenizer tokenizer(&analyzerLog);
        tokenizer.Begin(analyzed, false);
        const int64_t limit = static_cast<int64_t>(tokenizer.length) + 2;
        int64_t count = 0;
        ShaderTool::Token token;
        do {
            token.Clear();
            tokenizer.NextToken(token);
            Check(++count <= limit);
        } while (token.code != ShaderTool::TOKEN_END_OF_TEXT);
        tokenizer.End();
    }
    preprocessor.Reset();
    Check(preprocessor.definitions.count == preprocessor.startupCount);
    ShaderTool::SetSourceFileServices(nullptr);
    return 0;
}
