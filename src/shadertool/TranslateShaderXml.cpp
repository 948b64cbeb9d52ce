// Translating one document: the checks against the targets, the jobs, and for each source and
// target the front end and the translator, with the up-to-date passes.
#include <cstring>

#include "shadertool/CompileDriver_local.h"
#include "shadertool/Parser.h"
#include "shadertool/TargetNames.h"

namespace ShaderTool {

namespace {

// The working log collects a whole document, so its error flag already holds earlier sources'
// faults. A step that must fail on its own errors only runs with the flag cleared; the flag is
// ORed back when it ends.
class OwnErrors {
public:
    explicit OwnErrors(MessageLog& log) : log_(log), earlier_(log.hasErrors) { log_.hasErrors = 0; }
    ~OwnErrors() { log_.hasErrors |= earlier_; }
    bool Any() const { return log_.hasErrors != 0; }

private:
    MessageLog& log_;
    uint8_t earlier_;
};

bool RunPreprocessor(State& state, TranslationJob& job, TargetFlags target) {
    OwnErrors errors(state.workingLog);
    return state.preprocessor.Run(&state.description, target, *job.source,
                                  &state.request.additionalDefinitions, state.request.listDefinitions != 0);
}

// Parses and checks the preprocessed text of the job's source.
bool Analyse(State& state, TranslationJob& job) {
    ShaderSource& source = state.analysedSource;
    source.fileName = job.source->fileName;
    source.text = state.preprocessor.output;
    source.firstLine = job.source->firstLine;
    source.targets = job.source->targets;
    source.stage = job.source->stage;
    OwnErrors errors(state.workingLog);
    SemanticAnalyzer& analyzer = state.analyzer;
    analyzer.BeginStage(&state.description, source);
    analyzer.DeclareStageVariables(state.description);
    bool result = ParseShader(analyzer) == PARSE_ACCEPTED && !errors.Any();
    if (result) {
        analyzer.CheckFunctionDefinitions();
        for (const String& output : analyzer.pendingOutputs) {
            state.workingLog.AddPositionalErrorFormat(analyzer.CurrentFileName(), 0, 0,
                                                      "vertex shader output '%s' is not set.", output.CStr());
        }
        result = analyzer.success != 0 && analyzer.pendingOutputs.count == 0 && !errors.Any();
    }
    analyzer.success = result ? 1 : 0;
    return result;
}

// A source is analysed once for all its targets, unless its preprocessed text differs for this
// target (code under "#if" on the target, or names that the target defines): then the tree of
// another target's text would be translated, so it is analysed again.
bool RefreshAnalysis(State& state, TranslationJob& job, TargetFlags target) {
    if (!RunPreprocessor(state, job, target)) {
        return false;
    }
    if (state.preprocessor.output.Equals(state.analysedSource.text.CStr())) {
        return true;
    }
    if (state.request.preprocessOnly) {
        state.analysedSource.text = state.preprocessor.output;
        return true;
    }
    return Analyse(state, job);
}

bool WriteTranslation(State& state, TranslationJob& job, TargetFlags target, String* text) {
    Translator* translator = state.translators[TargetIndex(target) + 1];
    if (translator == nullptr) {
        state.workingLog.AddErrorFormat("target '%s' does not have a translator set up.",
                                        GetTargetName(target));
        return false;
    }
    translator->Reset();
    translator->description = &state.description;
    translator->variants = state.request.variants;
    translator->target = target;
    translator->stage = job.source->stage;
    translator->version = state.description.version;
    translator->SetShaderDescription(state.description);
    translator->WriteRoot(state.analyzer.root);
    if (!translator->success) {
        return false;
    }
    translator->WriteInterfaceDeclarations(state.description);
    translator->WritePrologue();
    translator->TakeOutput(text);
    return true;
}

// A second pass after a successful up-to-date pass: when some sources changed and others did
// not, the unchanged ones are translated too, so that every stage has output.
bool TranslateUpToDateSources(State& state) {
    int32_t upToDate = 0;
    for (TranslationJob& job : state.jobs) {
        if (job.upToDate) {
            job.needsAnalysis = 1;
            upToDate += 1;
        }
        job.upToDate = job.upToDate ? 0 : 1;
    }
    if (upToDate < 1 || upToDate >= state.jobs.count) {
        return true;
    }
    state.workingLog.AddHeading(
        "Changes or target dependent code was detected, translating up-to-date shader sources...");
    state.upToDateMode = 0;
    const bool result = TranslateShaderSource(state);
    state.upToDateMode = 1;
    return result;
}

}  // namespace

String MakeOutputBaseName(const char* path, const char* basePath) {
    const char* full = path != nullptr ? path : "";
    const size_t baseLength = basePath != nullptr ? strlen(basePath) : 0;
    // A base path that is not a prefix of the path cuts nothing.
    const size_t cut = strncmp(full, basePath != nullptr ? basePath : "", baseLength) == 0 ? baseLength : 0;
    String name(full + cut);
    for (int32_t i = name.Length() - 1; i >= 0; --i) {
        const char c = name.CStr()[i];
        if (c == '/') {
            break;
        }
        if (c == '.') {
            return name.Substring(0, i);
        }
    }
    return name;
}

bool CheckTargetSupport(State& state, TargetFlags target) {
    const TargetCapabilities& can = TargetCapabilityTable[TargetIndex(target)];
    const ShaderDescription& description = state.description;
    MessageLog& log = state.outputLog;
    const char* name = GetTargetName(target);
    bool supported = true;
    if (description.buffers.count > 0 && !can.buffers) {
        log.AddErrorFormat("target '%s' does not support buffers.", name);
        supported = false;
    }
    if (description.pixelOutputs.count > 1 && !can.multiplePixelOutputs) {
        log.AddErrorFormat("target '%s' does not support multiple pixel outputs.", name);
        supported = false;
    }
    if (description.rayTracingGroup != -1 && !can.rayTracing) {
        log.AddErrorFormat("target '%s' does not support ray tracing.", name);
        supported = false;
    }
    for (const TextureVariable& texture : description.pixelTextures) {
        if (texture.type.textureDimension == TEXTURE_DIMENSION_3D && !can.textures3D) {
            log.AddErrorFormat("target '%s' does not support 3D textures.", name);
            return false;
        }
        if (texture.type.arraySize != 0 && !can.textureArrays) {
            log.AddErrorFormat("target '%s' does not support texture arrays.", name);
            return false;
        }
    }
    return supported;
}

bool BuildTranslationJobs(State& state) {
    state.jobs.Clear();
    TargetFlags stageTargets[STAGE_COUNT] = {};
    for (TargetFlags& mask : state.explicitStageTargets) {
        mask = 0;
    }
    for (int32_t i = 0; i < state.description.sources.count; ++i) {
        ShaderSource& source = state.description.sources[i];
        if ((source.targets & state.effectiveTargets) == 0 || source.stage < 0 ||
            source.stage >= STAGE_COUNT) {
            continue;
        }
        const TranslationJob job = {&source, i + 1, 0, 1, 1};
        state.jobs.Push(job);
        stageTargets[source.stage] |= source.targets;
        if (source.targets != TARGET_ALL) {
            state.explicitStageTargets[source.stage] |= source.targets;
        }
    }
    if (stageTargets[STAGE_VERTEX] != stageTargets[STAGE_PIXEL]) {
        state.workingLog.AddError("some targets do not have both vertex and pixel shader source specified.");
        return false;
    }
    return true;
}

bool TranslateShaderSource(State& state) {
    bool result = true;
    for (TranslationJob& job : state.jobs) {
        if (job.upToDate) {
            continue;
        }
        const int32_t stage = job.source->stage;
        state.workingLog.AddHeadingFormat("Translating %s shader code of shader source %i...",
                                          GetStageName(stage), job.index);
        const TargetFlags targets = job.source->targets & state.effectiveTargets;
        for (int32_t index = 0; index < TARGET_COUNT; ++index) {
            const TargetFlags target = 1u << index;
            if ((targets & target) == 0) {
                continue;
            }
            // A source for all targets leaves a target to the source of its stage that names it.
            if (job.source->targets == TARGET_ALL && (state.explicitStageTargets[stage] & target) != 0) {
                continue;
            }
            if (!TranslateForTarget(state, job, target)) {
                result = false;
                if (!job.needsAnalysis && !job.analysisSucceeded) {
                    state.workingLog.AddError("parsing the source failed, skipping rest of the targets...");
                    break;
                }
            } else if (job.upToDate) {
                state.workingLog.AddHeading("Shader source is up to date, skipping translation...");
                break;
            }
        }
        if (!job.analysisSucceeded) {
            result = false;
        }
    }
    return result;
}

bool PreprocessAndParse(State& state, TranslationJob& job, TargetFlags target) {
    const bool ran = RunPreprocessor(state, job, target);
    if (state.request.listDefinitions) {
        return ran;
    }
    job.needsAnalysis = 0;
    if (!ran) {
        return false;
    }
    if (state.upToDateMode) {
        const int32_t inputTime = state.preprocessor.newestInputTime;
        if (inputTime > state.newestSourceTime) {
            state.newestSourceTime = inputTime;
        }
        if (inputTime >= 1 && inputTime <= state.request.outputTime) {
            job.upToDate = 1;
            return true;
        }
    }
    if (state.request.preprocessOnly) {
        state.analysedSource.text = state.preprocessor.output;
        return true;
    }
    return Analyse(state, job);
}

bool TranslateForTarget(State& state, TranslationJob& job, TargetFlags target) {
    state.workingLog.AddHeadingFormat("Translating for target '%s'...", GetTargetName(target));
    if (job.needsAnalysis) {
        job.analysisSucceeded = PreprocessAndParse(state, job, target) ? 1 : 0;
    } else if (job.analysisSucceeded && !job.upToDate) {
        job.analysisSucceeded = RefreshAnalysis(state, job, target) ? 1 : 0;
    }
    // Listing the definitions is all such a run does.
    if (state.request.listDefinitions) {
        return job.analysisSucceeded != 0;
    }
    if (job.upToDate) {
        return true;
    }
    if (!job.analysisSucceeded) {
        return false;
    }
    String text;
    if (state.request.preprocessOnly) {
        text = state.analysedSource.text;
    } else if (!CheckStageOutputs(state, job, target) || !WriteTranslation(state, job, target, &text)) {
        return false;
    }
    const int32_t stage = job.source->stage;
    const bool byteCode = IsByteCodeTarget(target);
    bool result = MakeOutputFileName(state, text, target, stage, byteCode);
    if (state.request.compile && !state.request.preprocessOnly && byteCode) {
        result = CompileForTarget(state, text.CStr(), target, stage) && result;
    }
    return result;
}

bool TranslateShaderXml(const char* path, const ShaderTranslationRequest& request, bool reload) {
    State& state = GetShaderToolState();
    state.outputLog.AddHeadingFormat("Translating Shader XML '%s'...", path != nullptr ? path : "");
    bool result = request.descriptionRead || ReadShaderXml(path, nullptr, reload, false);
    if (result) {
        if (state.description.version == 0) {
            state.outputLog.AddHeading("File is not a Shader XML file.\n\nTranslation SKIPPED");
            return true;
        }
        state.request = request;
        state.newestSourceTime = 0;
        state.effectiveTargets = request.targets & state.description.targets;
        if (state.effectiveTargets == 0) {
            state.outputLog.AddHeading(
                "No translation targets match the targets specified in the Shader XML.\n\nTranslation "
                "SKIPPED");
            return true;
        }
        for (int32_t index = 0; index < TARGET_COUNT; ++index) {
            const TargetFlags target = 1u << index;
            if ((state.effectiveTargets & target) != 0 && !CheckTargetSupport(state, target)) {
                result = false;
            }
        }
        result = result && BuildTranslationJobs(state);
        if (result) {
            state.baseName = MakeOutputBaseName(path, request.basePath.CStr());
            result = TranslateShaderSource(state);
            if (result && state.upToDateMode) {
                result = TranslateUpToDateSources(state);
            }
        }
    }
    FlushShaderToolLog(nullptr);
    // The verdict is kept past a full log: a reader must always see how the run ended.
    state.outputLog.AddHeading(result ? "\nTranslation SUCCEEDED" : "\nTranslation FAILED");
    return result;
}

}  // namespace ShaderTool
