// The compile driver, the shader tool's top level. It owns the one state of the process: a
// translator per requested target and a run-time compiler where one exists, the Shader XML
// reader, the front end, the five stage buffers and the two message logs. For each document it
// checks the description against what each target supports, then for every source, stage and
// target runs the front end, writes the tree through the target's translator and hands the text
// to a file, to the stage buffer and, for byte-code targets, to the compiler.
//
// Its caller is the graphics shader manager, one document at a time on the calling thread:
// InitializeTargets once; per document ReadShaderXml, ReadShaderSources, TranslateShaderXml and
// FlushShaderToolLog, then the stage buffers, the produced-stages mask, the newest source time
// and the output log of the state; ResetShaderToolState before the next document.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/ByteStream.h"
#include "foundation/String.h"
#include "shadertool/Analyzer.h"
#include "shadertool/Compiler.h"
#include "shadertool/MessageLog.h"
#include "shadertool/ShaderDescription.h"
#include "shadertool/ShaderXmlReader.h"
#include "shadertool/TargetTable.h"
#include "shadertool/Translator.h"
#include "shadertool/preprocessor/Preprocessor.h"

namespace ShaderTool {

// What the caller asks of one translation.
struct ShaderTranslationRequest {
    String basePath;                      // the part of the Shader XML path left out of output names
    Array<String> additionalDefinitions;  // name, value pairs for the preprocessor
    VariantFlags variants;                // compiled variants
    TargetFlags targets;                  // requested targets
    // Seconds: sources not newer than this are up to date (up-to-date mode only). The state's
    // newest source time is what the caller keeps for next time.
    int32_t outputTime;
    uint8_t compile;          // hand byte-code targets to their compiler
    uint8_t debugCompile;     // compile with debug information, without optimisation
    uint8_t listDefinitions;  // only list each run's definitions into the log
    uint8_t preprocessOnly;   // the preprocessed text is the output
    uint8_t descriptionRead;  // the Shader XML is already read: do not read it again

    ShaderTranslationRequest()
        : variants(0),
          targets(0),
          outputTime(0),
          compile(0),
          debugCompile(0),
          listDefinitions(0),
          preprocessOnly(0),
          descriptionRead(0) {}
};

// One source of the document to translate.
struct TranslationJob {
    ShaderSource* source;
    int32_t index;  // 1-based position in the document
    uint8_t upToDate;
    uint8_t analysisSucceeded;
    uint8_t needsAnalysis;
};

enum { TRANSLATOR_SLOT_COUNT = 10 };  // a default slot, then one per target in bit order

class State {
public:
    String baseName;  // output name of the document being translated
    Compiler* compilers[COMPILER_SLOT_COUNT];
    MessageLog workingLog;   // what the current step reports
    MessageLog outputLog;    // everything of the current document, for the caller
    String outputDirectory;  // where translated text is written; empty: no files
    SemanticAnalyzer analyzer;
    Preprocessor preprocessor;
    ByteStream stageBuffers[STAGE_COUNT];  // the document's output per stage
    uint32_t producedStages;               // bit 1 << stage per stage buffer that received output
    ShaderDescription description;
    ShaderXmlReader reader;
    Array<TranslationJob> jobs;
    Translator* translators[TRANSLATOR_SLOT_COUNT];
    ShaderTranslationRequest request;  // the current request
    TargetFlags effectiveTargets;      // requested targets the document also names
    // Per stage: the targets that sources of the stage name explicitly (not "all targets").
    TargetFlags explicitStageTargets[STAGE_COUNT];
    int32_t newestSourceTime;  // newest input time seen while checking up-to-dateness
    uint8_t upToDateMode;
    // The source record the analyser read last: its text is the preprocessed text of the tree.
    ShaderSource analysedSource;

    State();
    ~State();
    State(const State&) = delete;
    State& operator=(const State&) = delete;
};

// The one state of the process.
State& GetShaderToolState();

// Creates the translators for the targets and, for HLSL11, the run-time compiler (where the
// build has one); the variant chooses nothing, as every variant compiles with the one library.
// A non-empty output directory gets a trailing '/'. Up-to-date mode skips sources not newer than
// the request's output time. False, with the reason in the output log, when a compiler cannot
// start or a target has no translator.
bool InitializeTargets(TargetFlags targets, VariantFlags variant, const char* outputDirectory,
                       bool upToDateMode);
// Prepares the state for the next document.
void ResetShaderToolState();
// Reads a Shader XML from text (when not null) or from the file at path (its cached database
// unloaded first with reload); with list, sources are read for their types and targets only.
bool ReadShaderXml(const char* path, const char* text, bool reload, bool list);
// Reads the "sources" array of the Shader XML read last.
bool ReadShaderSources();
// Translates the document at path (read first unless the request says it is read).
bool TranslateShaderXml(const char* path, const ShaderTranslationRequest& request, bool reload);
// Moves the working log into the output log, under "<heading>:" when a heading is given.
void FlushShaderToolLog(const char* heading);

}  // namespace ShaderTool
