// The preprocessor's run: definitions of the run, includes, substitution of defined names and
// the definition listing. The directive grammar lives in DirectiveParser.cpp.
#include "shadertool/preprocessor/Preprocessor.h"

#include <cstdarg>
#include <cstring>

#include "foundation/Path.h"
#include "shadertool/SourceFiles.h"
#include "shadertool/TargetNames.h"

namespace ShaderTool {

namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsIdentifierCharacter(char c) {
    return IsLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

// Letters, digits and underscores only, not starting with an underscore, not empty.
bool IsDefinableName(const char* text) {
    if (text == nullptr || text[0] == '\0' || text[0] == '_') {
        return false;
    }
    for (const char* c = text; *c != '\0'; ++c) {
        if (!IsIdentifierCharacter(*c)) {
            return false;
        }
    }
    return true;
}

// The text a definition's value is written as in the output.
String SubstitutionText(const PreprocessorDefinition& definition) {
    String text = definition.value.FormatText();
    if (definition.isString) {
        return String::FromFormat("\"%s\"", text.CStr());
    }
    return text;
}

// The first occurrence of name (nameLength > 0) in [from, end), or null. Searched within the known
// length, since a text can hold hundreds of thousands of occurrences and measuring the rest of
// it again at each one (as sanitized strstr does) would make the search quadratic.
const char* FindName(const char* from, const char* end, const char* name, size_t nameLength) {
    while (static_cast<size_t>(end - from) >= nameLength) {
        const void* first = memchr(from, name[0], static_cast<size_t>(end - from) - nameLength + 1);
        if (first == nullptr) {
            return nullptr;
        }
        const char* candidate = static_cast<const char*>(first);
        if (memcmp(candidate, name, nameLength) == 0) {
            return candidate;
        }
        from = candidate + 1;
    }
    return nullptr;
}

enum ReplaceResult { REPLACED_NONE, REPLACED, REPLACED_TOO_LONG };

// Replaces every whole-word occurrence of name in text (of length textLength) by value, building
// the new text in result (whose length limit stops it early when the text grows too long).
ReplaceResult ReplaceWholeWords(const char* text, int32_t textLength, const char* name, const char* value,
                                TextBuilder& result) {
    const size_t nameLength = strlen(name);
    const char* end = text + textLength;
    const char* copied = text;  // start of the part not yet copied
    const char* search = text;
    bool replaced = false;
    for (const char* hit = FindName(search, end, name, nameLength); hit != nullptr;
         hit = FindName(search, end, name, nameLength)) {
        const bool startsWord = hit == text || !IsIdentifierCharacter(hit[-1]);
        const bool endsWord = !IsIdentifierCharacter(hit[nameLength]);
        search = hit + nameLength;
        if (startsWord && endsWord) {
            if (!result.Append(copied, static_cast<int32_t>(hit - copied)) || !result.Append(value)) {
                return REPLACED_TOO_LONG;
            }
            copied = search;
            replaced = true;
        }
    }
    if (!replaced) {
        return REPLACED_NONE;
    }
    return result.Append(copied, static_cast<int32_t>(end - copied)) ? REPLACED : REPLACED_TOO_LONG;
}

}  // namespace

Preprocessor::Preprocessor(MessageLog* log)
    : description(nullptr),
      messageLog(log),
      tokenizer(log),
      startupCount(0),
      conditionDepth(0),
      conditionStates(),
      newestInputTime(0),
      success(1),
      trackInputTimes(0),
      includeCount(0),
      includedBytes(0) {
    conditionStates[0] = CONDITION_ACTIVE;
}

void Preprocessor::AddDefinition(const char* name, const PreprocessorValue& value, bool isString) {
    definitions.Push(PreprocessorDefinition(name, value, isString));
}

void Preprocessor::AddBuiltinDefinitions() {
    AddDefinition("_HALF_PI", PreprocessorValue::Text("1.5707963268f"), false);
    AddDefinition("_PI", PreprocessorValue::Text("3.1415926536f"), false);
    AddDefinition("_TWO_PI", PreprocessorValue::Text("6.2831853072f"), false);
    for (uint32_t bit = 1; bit <= TARGET_SPIRV; bit <<= 1) {
        String name = String::FromFormat("_TARGET_%s", GetTargetName(bit));
        AddDefinition(name.CStr(), PreprocessorValue::Int(static_cast<int32_t>(bit)), false);
    }
    // Group values are numbered apart from the target bits. _TARGET_PSSL and _TARGET_SPIRV are
    // registered twice; the target entries come first and are the ones every lookup finds.
    const char* const groups[] = {"ESSL", "GLSL", "HLSL", "PSSL", "SPIRV"};
    int32_t groupValue = 1;
    for (const char* group : groups) {
        String name = String::FromFormat("_TARGET_%s", group);
        AddDefinition(name.CStr(), PreprocessorValue::Int(groupValue), false);
        groupValue <<= 1;
    }
    startupCount = definitions.count;
}

void Preprocessor::Reset() {
    description = nullptr;
    while (definitions.count > startupCount) {
        definitions.RemoveAt(definitions.count - 1);
    }
    output.Assign(nullptr);
    outputBuilder.Clear();
    tokenizer.End();
    conditionDepth = 0;
    for (int32_t& state : conditionStates) {
        state = CONDITION_NOT_TAKEN;
    }
    conditionStates[0] = CONDITION_ACTIVE;
    newestInputTime = 0;
    success = 1;
    includeEnds.Clear();
    includeCount = 0;
    includedBytes = 0;
}

bool Preprocessor::Run(const ShaderDescription* description_, TargetFlags target, const ShaderSource& source,
                       const Array<String>* additionalDefinitions, bool list) {
    Reset();
    description = description_;
    tokenizer.Begin(source, true);
    if (trackInputTimes) {
        newestInputTime = description != nullptr ? description->modificationTime : 0;
        TrackInputTime(source.fileName.CStr());
    }
    AddRunDefinitions(target, source.stage);
    if (additionalDefinitions != nullptr) {
        AddAdditionalDefinitions(*additionalDefinitions);
    }
    if (list) {
        ListDefinitions();
        success = 1;
        return true;
    }
    const int32_t parseResult = ParseDirectives();
    outputBuilder.CopyTo(output);
    outputBuilder.Clear();
    if (parseResult != 0 || (messageLog != nullptr && messageLog->hasErrors)) {
        success = 0;
        return false;
    }
    if (conditionDepth != 0) {
        ReportError(tokenizer.tokenLine, tokenizer.tokenColumn, "expected endif directive.");
    }
    SubstituteDefinitions();
    return success != 0;
}

// Per-run definitions, in order: the target, its group, the texture axis, the description's
// definitions and, for the stages that can trace rays, the ray flags.
void Preprocessor::AddRunDefinitions(TargetFlags target, int32_t stage) {
    String targetText = String::FromFormat("_TARGET_%s", GetTargetName(target));
    String groupText = String::FromFormat("_TARGET_%s", GetTargetGroupName(target));
    AddDefinition("_TARGET", PreprocessorValue::Text(targetText.CStr()), false);
    AddDefinition("_TARGET_GROUP", PreprocessorValue::Text(groupText.CStr()), false);
    const bool axisPointsUp = (target & (TARGET_ESSL | TARGET_GLSL)) != 0;
    AddDefinition("_TEXTURE_COORDINATE_AXIS_V_POINTS_UP", PreprocessorValue::Int(axisPointsUp ? 1 : 0),
                  false);
    AddDescriptionDefinitions();
    if (stage == STAGE_RCHIT || stage == STAGE_RGEN) {
        for (const PreprocessorDefinition& flag : RayFlagConstants) {
            definitions.Push(flag);
        }
    }
}

void Preprocessor::AddDescriptionDefinitions() {
    if (description == nullptr) {
        return;
    }
    for (const ShaderDefinition& definition : description->definitions) {
        const char* value = definition.value.CStr();
        switch (definition.literalKind) {
            case TYPE_BOOL:
            case TYPE_INT:
                AddDefinition(definition.name.CStr(), PreprocessorValue::Int(ParseLeadingDecimal(value)),
                              false);
                break;
            case TYPE_FLOAT:
                AddDefinition(definition.name.CStr(), PreprocessorValue::Float(ParseLeadingFloat(value)),
                              false);
                break;
            default:
                AddDefinition(definition.name.CStr(), PreprocessorValue::Text(value), true);
                break;
        }
    }
}

void Preprocessor::AddAdditionalDefinitions(const Array<String>& pairs) {
    for (int32_t i = 0; i < pairs.count; i += 2) {
        // An unpaired name at the end has no value and is refused like any bad pair.
        static const String kNoValue;
        const String& value = i + 1 < pairs.count ? pairs[i + 1] : kNoValue;
        const bool paired = i + 1 < pairs.count;
        if (!paired || !AddAdditionalDefinition(pairs[i], value)) {
            if (messageLog != nullptr) {
                messageLog->AddErrorFormat("invalid additional preprocessor definition '%s=%s' specified.",
                                           pairs[i].CStr(), value.CStr());
            }
            success = 0;
        }
    }
}

// Appends one caller definition; false when its name or value is not acceptable.
bool Preprocessor::AddAdditionalDefinition(const String& name, const String& value) {
    if (!IsDefinableName(name.CStr())) {
        return false;
    }
    const char* text = value.CStr();
    const int32_t textLength = value.Length();
    if (textLength > PP_VALUE_TEXT_MAX) {
        return false;  // would be cut: refused rather than changed
    }
    const int32_t kind = GetLiteralKind(value);
    if (kind == TYPE_FLOAT) {
        AddDefinition(name.CStr(), PreprocessorValue::Float(ParseLeadingFloat(text)), false);
        return true;
    }
    if (kind == TYPE_INT) {
        AddDefinition(name.CStr(), PreprocessorValue::Int(ParseLeadingDecimal(text)), false);
        return true;
    }
    if (textLength >= 2 && text[0] == '"' && text[textLength - 1] == '"') {
        AddDefinition(name.CStr(), PreprocessorValue::Text(text, textLength), true);
        return true;
    }
    if (!IsDefinableName(text)) {
        return false;
    }
    // A name takes the value its first definition has now; the string flag stays behind.
    const int32_t index = FindDefinition(text);
    const PreprocessorValue resolved = index >= 0 ? definitions[index].value : PreprocessorValue();
    AddDefinition(name.CStr(), resolved, false);
    return true;
}

void Preprocessor::ListDefinitions() {
    int32_t width = 0;
    for (const PreprocessorDefinition& definition : definitions) {
        if (definition.name.Length() > width) {
            width = definition.name.Length();
        }
    }
    for (const PreprocessorDefinition& definition : definitions) {
        String value = definition.value.FormatText();
        if (messageLog != nullptr) {
            messageLog->AddLineFormat("%-*s %s", static_cast<int>(width), definition.name.CStr(),
                                      value.CStr());
        }
    }
}

// Replaces the whole-word occurrences of every defined name in the output, earlier definitions
// first; the search goes on after each inserted value, so a value never replaces itself. A
// definition whose substitution makes the text grow past the bound is reported at its value and
// ends the run with an empty output.
void Preprocessor::SubstituteDefinitions() {
    const int64_t limit = static_cast<int64_t>(output.Length()) + PP_MAX_SUBSTITUTED_BYTES_PER_RUN;
    TextBuilder result;
    result.SetMaxLength(limit > TextBuilder::kMaxLength ? TextBuilder::kMaxLength
                                                        : static_cast<int32_t>(limit));
    for (const PreprocessorDefinition& definition : definitions) {
        if (definition.name.IsEmpty()) {
            continue;  // an empty name matches everywhere and nothing sensibly
        }
        String value = SubstitutionText(definition);
        result.Clear();
        const ReplaceResult replaced =
            ReplaceWholeWords(output.CStr(), output.Length(), definition.name.CStr(), value.CStr(), result);
        if (replaced == REPLACED_TOO_LONG) {
            ReportErrorFormat(definition.value.line, definition.value.column,
                              "substituting '%s' makes the preprocessed text too long.",
                              definition.name.CStr());
            output.Assign(nullptr);
            return;
        }
        if (replaced == REPLACED) {
            result.CopyTo(output);
        }
    }
}

int32_t Preprocessor::FindDefinition(const char* name) const {
    if (name == nullptr) {
        return -1;
    }
    for (int32_t i = 0; i < definitions.count; ++i) {
        if (strcmp(definitions[i].name.CStr(), name) == 0) {
            return i;
        }
    }
    return -1;
}

// A text value stands for the definition its text names, followed until a number or a string.
// Every chain visits each definition at most once, so a longer one is a cycle and gives 0.
PreprocessorValue Preprocessor::ResolveValue(const PreprocessorValue& value) const {
    PreprocessorValue current = value;
    for (int32_t steps = 0; current.IsText(); ++steps) {
        const int32_t index = steps <= definitions.count ? FindDefinition(current.text) : -1;
        if (index < 0) {
            current = PreprocessorValue();
            break;
        }
        const PreprocessorDefinition& definition = definitions[index];
        current = definition.value;
        if (definition.isString) {
            break;
        }
    }
    current.column = value.column;
    current.line = value.line;
    return current;
}

namespace {

template <typename Element>
int32_t HasElementNamed(const Array<Element>& list, const char* elementName) {
    for (const Element& element : list) {
        if (strcmp(element.name.CStr(), elementName) == 0) {
            return 1;
        }
    }
    return 0;
}

// Pixel outputs are plain names.
int32_t HasElementNamed(const Array<String>& list, const char* elementName) {
    for (const String& name : list) {
        if (strcmp(name.CStr(), elementName) == 0) {
            return 1;
        }
    }
    return 0;
}

int32_t FindInDescription(const ShaderDescription& d, const char* arrayName, const char* elementName,
                          bool* validArray) {
    *validArray = true;
    if (strcmp(arrayName, "buffers") == 0) return HasElementNamed(d.buffers, elementName);
    if (strcmp(arrayName, "constants") == 0) return HasElementNamed(d.constants, elementName);
    if (strcmp(arrayName, "definitions") == 0) return HasElementNamed(d.definitions, elementName);
    if (strcmp(arrayName, "pixel_constants") == 0) return HasElementNamed(d.pixelConstants, elementName);
    if (strcmp(arrayName, "pixel_output") == 0) return HasElementNamed(d.pixelOutputs, elementName);
    if (strcmp(arrayName, "pixel_textures") == 0) return HasElementNamed(d.pixelTextures, elementName);
    if (strcmp(arrayName, "vertex_constants") == 0) return HasElementNamed(d.vertexConstants, elementName);
    if (strcmp(arrayName, "vertex_input") == 0) return HasElementNamed(d.vertexInputs, elementName);
    if (strcmp(arrayName, "vertex_output") == 0) return HasElementNamed(d.vertexOutputs, elementName);
    *validArray = false;
    return 0;
}

}  // namespace

int32_t Preprocessor::IsArrayNodeDefined(const char* arrayName, const char* elementName,
                                         bool* validArray) const {
    static const ShaderDescription kEmptyDescription;
    const ShaderDescription& d = description != nullptr ? *description : kEmptyDescription;
    return FindInDescription(d, arrayName, elementName, validArray);
}

void Preprocessor::Define(const Token& name, const PreprocessorValue& value, bool isString) {
    if (name.text[0] == '_') {
        ReportError(name.line, name.column, "identifiers must not start with an underscore.");
        return;
    }
    if (!IsActive()) {
        return;
    }
    if (FindDefinition(name.text) >= 0) {
        ReportErrorFormat(name.line, name.column, "redefinition of '%s'.", name.text);
        return;
    }
    AddDefinition(name.text, value, isString);
}

// Depth of the included texts around the reading position; texts already left are dropped.
int32_t Preprocessor::CurrentIncludeDepth() {
    while (includeEnds.count > 0 && tokenizer.position >= includeEnds[includeEnds.count - 1]) {
        includeEnds.RemoveAt(includeEnds.count - 1);
    }
    return includeEnds.count;
}

// Splices the named file, framed by line markers, into the text at the reading position, so
// its lines are read next. The path is relative to the directory of the current file.
void Preprocessor::Include(const char* name, int32_t column, int32_t line) {
    if (!IsActive()) {
        AppendLineFeed();
        return;
    }
    if (CurrentIncludeDepth() >= PP_MAX_INCLUDE_DEPTH) {
        ReportError(line, column, "too many nested include directives.");
        AppendLineFeed();
        return;
    }
    if (includeCount >= PP_MAX_INCLUDES_PER_RUN || includedBytes > PP_MAX_INCLUDED_BYTES_PER_RUN) {
        ReportError(line, column, "too many include directives.");
        AppendLineFeed();
        return;
    }
    ++includeCount;
    String directory = ZQI_GetPathDirectory(tokenizer.fileName.CStr());
    String joined = String::FromFormat("%s%s%s", directory.CStr(), directory.IsEmpty() ? "" : "/", name);
    String path = ZQI_CollapseParentDirectories(joined.CStr());
    String fileText;
    ReadIncludeFile(path.CStr(), column, line, &fileText);

    TextBuilder insertion;
    String opening = String::FromFormat("\n@f \"%s\" 1\n", path.CStr());
    String closing = String::FromFormat("\n@f \"%s\" %i", tokenizer.fileName.CStr(),
                                        static_cast<int>(tokenizer.tokenLine) + 1);
    insertion.Append(opening.CStr());
    insertion.Append(fileText.CStr());
    insertion.Append(closing.CStr());
    const int32_t insertedLength = insertion.Length();
    includedBytes += insertedLength;
    const int32_t dropped = tokenizer.InsertText(insertion.CStr());
    for (int32_t& end : includeEnds) {
        end += insertedLength - dropped;  // every enclosing included text grows by the insertion
    }
    includeEnds.Push(tokenizer.position + insertedLength);
}

// Reads and normalises an included file; on failure reports it and leaves the text empty.
bool Preprocessor::ReadIncludeFile(const char* path, int32_t column, int32_t line, String* text) {
    String raw;
    const SourceFileResult result = ReadSourceFile(path, &raw);
    if (result == SOURCE_FILE_NOT_FOUND) {
        ReportError(line, column, "include file was not found.");
        text->Assign(nullptr);
        return false;
    }
    if (result != SOURCE_FILE_READ) {
        ReportError(line, column, "include file could not be read.");
        text->Assign(nullptr);
        return false;
    }
    *text = NormalizeSourceText(raw.CStr());
    TrackInputTime(path);
    return true;
}

void Preprocessor::TrackInputTime(const char* path) {
    int32_t seconds = 0;
    if (trackInputTimes && GetSourceFileTime(path, &seconds) && seconds > newestInputTime) {
        newestInputTime = seconds;
    }
}

void Preprocessor::AppendLineFeed() {
    outputBuilder.AppendChar('\n');
}

void Preprocessor::CopyCurrentLine() {
    const char* start = nullptr;
    int32_t length = 0;
    tokenizer.GetCurrentLine(&start, &length);
    outputBuilder.Append(start, length);
}

bool Preprocessor::IsActive() const {
    return conditionStates[conditionDepth] == CONDITION_ACTIVE;
}

void Preprocessor::ReportError(int32_t line, int32_t column, const char* message) {
    success = 0;
    if (messageLog != nullptr) {
        messageLog->AddPositionalError(tokenizer.fileName.CStr(), line, column, message);
    }
}

void Preprocessor::ReportErrorFormat(int32_t line, int32_t column, const char* format, ...) {
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    char* message = ZQI_FormatToBuffer(buffer, format, args);
    va_end(args);
    ReportError(line, column, message);
    if (message != buffer) {
        free(message);
    }
}

}  // namespace ShaderTool
