// The compile driver's state and its outer operations: set-up of the targets, reset between
// documents, reading a document and moving the working log into the output log.
#include "shadertool/CompileDriver.h"

#include <cstring>
#include <new>

#include "shadertool/TargetNames.h"

namespace ShaderTool {

namespace {

void EmptyStream(ByteStream& stream) {
    stream.~ByteStream();
    new (&stream) ByteStream();
}

// Creates and starts the target's run-time compiler when the target has one (only HLSL11, and
// only where the build has the Direct3D compiler); false when it cannot start.
bool SetUpCompiler(State& state, TargetFlags target) {
    Compiler*& slot = state.compilers[CompilerSlotOfTarget(target)];
    if (slot != nullptr || target != TARGET_HLSL11) {
        return true;
    }
    Compiler* compiler = CreateHLSLCompiler(&state.workingLog);
    if (compiler == nullptr) {
        return true;
    }
    if (compiler->Initialize()) {
        slot = compiler;
        return true;
    }
    // A compiler that did not start is not kept, so that no later compile reaches it.
    delete compiler;
    if (!state.workingLog.hasMessages) {
        state.workingLog.AddError("unknown error.");
    }
    String heading =
        String::FromFormat("Failed to initialize the compiler for target '%s'", GetTargetName(target));
    FlushShaderToolLog(heading.CStr());
    return false;
}

bool SetUpTranslator(State& state, TargetFlags target) {
    Translator*& slot = state.translators[TargetIndex(target) + 1];
    if (slot != nullptr) {
        return true;
    }
    slot = CreateTranslator(target, &state.workingLog);
    if (slot != nullptr) {
        return true;
    }
    state.workingLog.AddErrorFormat("there is no translator for target '%s'.", GetTargetName(target));
    String heading =
        String::FromFormat("Failed to initialize the translator for target '%s'", GetTargetName(target));
    FlushShaderToolLog(heading.CStr());
    return false;
}

}  // namespace

State::State()
    : compilers(),
      analyzer(&workingLog),
      preprocessor(&workingLog),
      producedStages(0),
      reader(&workingLog, &description),
      translators(),
      effectiveTargets(0),
      explicitStageTargets(),
      newestSourceTime(0),
      upToDateMode(0) {
    preprocessor.AddBuiltinDefinitions();
}

State::~State() {
    for (Translator*& translator : translators) {
        delete translator;
        translator = nullptr;
    }
    for (Compiler*& compiler : compilers) {
        delete compiler;
        compiler = nullptr;
    }
}

State& GetShaderToolState() {
    static State state;
    return state;
}

bool InitializeTargets(TargetFlags targets, VariantFlags, const char* outputDirectory, bool upToDateMode) {
    State& state = GetShaderToolState();
    for (int32_t index = 0; index < TARGET_COUNT; ++index) {
        const TargetFlags target = 1u << index;
        if ((targets & target) == 0) {
            continue;
        }
        if (!SetUpCompiler(state, target) || !SetUpTranslator(state, target)) {
            return false;
        }
    }
    state.outputDirectory.Assign(outputDirectory);
    const int32_t length = state.outputDirectory.Length();
    if (length > 0) {
        const char last = state.outputDirectory.CStr()[length - 1];
        if (last != '/' && last != '\\') {
            state.outputDirectory.AppendChar('/');
        }
    }
    state.upToDateMode = upToDateMode ? 1 : 0;
    state.preprocessor.trackInputTimes = state.upToDateMode;
    return true;
}

void ResetShaderToolState() {
    State& state = GetShaderToolState();
    state.baseName.Assign(nullptr);
    state.workingLog.Clear();
    state.outputLog.Clear();
    for (Translator* translator : state.translators) {
        if (translator != nullptr) {
            translator->Reset();
        }
    }
    state.analyzer.Reset();
    state.preprocessor.Reset();
    for (ByteStream& buffer : state.stageBuffers) {
        EmptyStream(buffer);
    }
    state.producedStages = 0;
    state.jobs.Clear();
    state.reader.Reset();  // the description, the Shader XML directory and the ray-tracing flag
    for (TargetFlags& mask : state.explicitStageTargets) {
        mask = 0;
    }
    state.analysedSource = ShaderSource();
}

bool ReadShaderXml(const char* path, const char* text, bool reload, bool list) {
    State& state = GetShaderToolState();
    bool result = false;
    if (text != nullptr) {
        result = state.reader.ReadText(path, text, static_cast<int32_t>(strlen(text)), list);
    } else if (path != nullptr) {
        result = state.reader.ReadFile(path, reload, list);
    }
    FlushShaderToolLog(result ? nullptr : "Failed to read the Shader XML");
    return result;
}

bool ReadShaderSources() {
    return GetShaderToolState().reader.ReadShaderSources();
}

void FlushShaderToolLog(const char* heading) {
    State& state = GetShaderToolState();
    if (heading != nullptr && heading[0] != '\0') {
        state.outputLog.AddHeadingFormat("%s:", heading);
    }
    state.outputLog.text.Append(state.workingLog.text.CStr());
    state.outputLog.hasMessages |= state.workingLog.hasMessages;
    state.outputLog.hasErrors |= state.workingLog.hasErrors;
    state.workingLog.Clear();
}

}  // namespace ShaderTool
