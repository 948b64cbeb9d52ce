// The preprocessor: prepares one shader source for one target and one stage. It executes the
// directive lines, copies the ordinary lines of active branches and finally replaces every
// defined name in the output by its value. The output keeps the source's line structure, and
// included files are framed by line markers, so later readers report the right file and line.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "shadertool/MessageLog.h"
#include "shadertool/ShaderDescription.h"
#include "shadertool/ShaderType.h"
#include "shadertool/TextBuilder.h"
#include "shadertool/Tokenizer.h"
#include "shadertool/preprocessor/PreprocessorTokenizer.h"
#include "shadertool/preprocessor/PreprocessorValue.h"

namespace ShaderTool {

enum { PP_MAX_CONDITION_DEPTH = 7 };  // nesting levels of "#if"; level 0 is outside any

// Limits that stop a file including itself, directly or through others: nesting depth, and the
// files and bytes that the includes of one run may add.
enum { PP_MAX_INCLUDE_DEPTH = 32, PP_MAX_INCLUDES_PER_RUN = 256, PP_MAX_INCLUDED_BYTES_PER_RUN = 8 << 20 };
// Substituting the definitions may add as much text as the includes of a run may: chained
// definitions otherwise multiply the text with every level (a few hundred bytes of source can
// ask for gigabytes).
enum { PP_MAX_SUBSTITUTED_BYTES_PER_RUN = PP_MAX_INCLUDED_BYTES_PER_RUN };

// State of one "#if" level.
enum ConditionState : int32_t {
    CONDITION_NOT_TAKEN = 0,  // no branch taken yet: inactive
    CONDITION_ACTIVE = 1,
    CONDITION_WAS_TAKEN = 2,  // a branch was taken: inactive for the rest of the "#if"
};

class Preprocessor {
public:
    const ShaderDescription* description;       // the document of the current run
    Array<PreprocessorDefinition> definitions;  // registration order; first match wins
    MessageLog* messageLog;                     // the working log
    String output;                              // the preprocessed text of the current run
    PreprocessorTokenizer tokenizer;
    int32_t startupCount;  // definitions that survive a reset
    int32_t conditionDepth;
    int32_t conditionStates[PP_MAX_CONDITION_DEPTH + 1];
    int32_t newestInputTime;  // seconds; newest modification time of the run's inputs
    uint8_t success;          // cleared by every error of the run
    uint8_t trackInputTimes;  // set by the driver's up-to-date mode

    explicit Preprocessor(MessageLog* log);
    Preprocessor(const Preprocessor&) = delete;
    Preprocessor& operator=(const Preprocessor&) = delete;

    // Registers the start-up definitions (pi constants, target bits and target groups) and makes
    // them the ones that survive a reset. Called once by the shader tool state.
    void AddBuiltinDefinitions();
    // Forgets everything of the last run: description, per-run definitions, output, tokenizer,
    // conditions, input time; success set.
    void Reset();
    // Preprocesses source for one target bit. additionalDefinitions holds name, value pairs (may
    // be null). With list set, only lists the definitions into the log and answers true. The
    // result is also left in `success`; the text is `output`.
    bool Run(const ShaderDescription* description, TargetFlags target, const ShaderSource& source,
             const Array<String>* additionalDefinitions, bool list);

    // The directive parser over the tokenizer's remaining text: 0 accepted, 1 syntax error,
    // 2 parser stack exhausted. Errors reported by its actions do not change the result.
    int32_t ParseDirectives();

    // Directive actions.
    void Define(const Token& name, const PreprocessorValue& value, bool isString);
    void Include(const char* name, int32_t column, int32_t line);
    int32_t FindDefinition(const char* name) const;
    PreprocessorValue ResolveValue(const PreprocessorValue& value) const;
    // 1 when the description's array named arrayName holds an element named elementName, else
    // 0; *validArray tells whether arrayName names one of the arrays.
    int32_t IsArrayNodeDefined(const char* arrayName, const char* elementName, bool* validArray) const;
    void AppendLineFeed();
    // Copies the ordinary line at the reading position into the output.
    void CopyCurrentLine();
    // Whether the current "#if" level is active.
    bool IsActive() const;
    // A positional error in the tokenizer's current file; clears success.
    void ReportError(int32_t line, int32_t column, const char* message);
    void ReportErrorFormat(int32_t line, int32_t column, const char* format, ...) ZQ_PRINTF_LIKE(4, 5);

private:
    void AddDefinition(const char* name, const PreprocessorValue& value, bool isString);
    void AddRunDefinitions(TargetFlags target, int32_t stage);
    void AddDescriptionDefinitions();
    void AddAdditionalDefinitions(const Array<String>& pairs);
    bool AddAdditionalDefinition(const String& name, const String& value);
    void ListDefinitions();
    void SubstituteDefinitions();
    void TrackInputTime(const char* path);
    bool ReadIncludeFile(const char* path, int32_t column, int32_t line, String* text);
    int32_t CurrentIncludeDepth();

    TextBuilder outputBuilder;  // output while the directives run
    // End positions, in the tokenizer's text, of the included texts being read (innermost last).
    Array<int32_t> includeEnds;
    int32_t includeCount;   // includes executed in this run
    int64_t includedBytes;  // text they added
};

}  // namespace ShaderTool
