// Where a translation goes: the stage buffers, the output files through the file-system API, and
// the run-time compiler for the byte-code targets.
#include "filesystem/FileSystemApi.h"
#include "foundation/Path.h"
#include "shadertool/CompileDriver_local.h"
#include "shadertool/TargetNames.h"

namespace ShaderTool {

namespace {

// Opens the output file for writing, making the folders below the output directory that a
// document in a subfolder needs.
zq_file_t* OpenOutputFile(const char* path) {
    zq_file_t* file = ZQ_FileSystem_OpenFile(path, "w");
    if (file != nullptr) {
        return file;
    }
    const String folder = ZQI_GetPathDirectory(path);
    if (folder.IsEmpty() || !ZQ_FileSystem_CreateDirectory(folder.CStr())) {
        return nullptr;
    }
    return ZQ_FileSystem_OpenFile(path, "w");
}

}  // namespace

bool MakeOutputFileName(State& state, const String& text, TargetFlags target, int32_t stage, bool byteCode) {
    if (!byteCode) {
        state.stageBuffers[stage].Write(text.CStr(), text.Length() + 1);
        state.producedStages |= 1u << stage;
    }
    if (state.outputDirectory.IsEmpty()) {
        return true;
    }
    // With several targets each file names its target, so that they do not overwrite each other.
    const bool severalTargets = (state.effectiveTargets & (state.effectiveTargets - 1)) != 0;
    const String suffix = severalTargets ? String::FromFormat(".%s", GetTargetName(target)) : String();
    const String path = String::FromFormat("%s%s%s.%s", state.outputDirectory.CStr(), state.baseName.CStr(),
                                           suffix.CStr(), GetStageName(stage));
    zq_file_t* file = OpenOutputFile(path.CStr());
    if (file == nullptr) {
        state.workingLog.AddErrorFormat("could not open output file '%s'.", path.CStr());
        return false;
    }
    const uint64_t length = static_cast<uint64_t>(text.Length());
    const uint64_t written = ZQ_FileSystem_WriteFile(text.CStr(), length, file);
    const bool closed = ZQI_CloseFile(file);  // a full disk shows when the buffer is flushed
    if (written != length || !closed) {
        state.workingLog.AddErrorFormat("could not write to output file '%s'.", path.CStr());
        return false;
    }
    return true;
}

bool CompileForTarget(State& state, const char* text, TargetFlags target, int32_t stage) {
    Compiler* compiler = state.compilers[CompilerSlotOfTarget(target)];
    if (compiler == nullptr) {
        state.workingLog.AddErrorFormat(
            "target '%s' does not have a compiler set up. If this occurred at runtime, most likely the "
            "target "
            "does not support runtime compilation.",
            GetTargetName(target));
        return false;
    }
    bool result = true;
    bool compiled = false;
    for (int32_t index = 0; index < VARIANT_COUNT; ++index) {
        const VariantFlags variant = 1u << index;
        if ((state.request.variants & variant) != 0 && TargetOfVariant(variant) == target) {
            result = CompileVariant(state, compiler, text, target, variant, stage) && result;
            compiled = true;
        }
    }
    if (!compiled) {
        result = CompileVariant(state, compiler, text, target, 0, stage);
    }
    return result;
}

bool CompileVariant(State& state, Compiler* compiler, const char* text, TargetFlags target,
                    VariantFlags variant, int32_t stage) {
    ByteStream code;
    if (!compiler->Compile(target, variant, stage, text, state.request.debugCompile != 0, &code)) {
        return false;
    }
    state.stageBuffers[stage].Write(code.data, code.size);
    state.producedStages |= 1u << stage;
    return true;
}

}  // namespace ShaderTool
