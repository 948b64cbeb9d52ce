// The Shader XML sources: target lists, the "sources" array with its conflict checks, and the
// search of the document's text for the line each inline source starts on, so that messages
// about inline code point at the Shader XML's own lines.
#include <cstddef>
#include <cstring>

#include "data/DMRecords.h"
#include "shadertool/ShaderXmlReader.h"
#include "shadertool/SourceFiles.h"
#include "shadertool/TargetNames.h"

namespace ShaderTool {

ShaderXmlReader::SourceConflictKind ShaderXmlReader::SourceConflict(const SourceKind& earlier,
                                                                    const SourceKind& source) {
    const bool sameStage = earlier.stage == source.stage;
    if (sameStage && earlier.targets == TARGET_ALL && source.targets == TARGET_ALL) {
        return CONFLICT_ALL_TARGETS;
    }
    if (sameStage && (earlier.targets & source.targets) != 0 && earlier.targets != TARGET_ALL) {
        return CONFLICT_SAME_TARGET;
    }
    const bool rayStage = earlier.stage == STAGE_RCHIT || earlier.stage == STAGE_RGEN ||
                          earlier.stage == STAGE_RMISS || source.stage == STAGE_RCHIT ||
                          source.stage == STAGE_RGEN || source.stage == STAGE_RMISS;
    return rayStage ? CONFLICT_RAY_STAGE : CONFLICT_NONE;
}

namespace {

const int32_t kMaxTargetNameLength = 15;

struct StageName {
    const char* name;
    int32_t stage;
};

const StageName kStages[] = {
    {"vertex", STAGE_VERTEX}, {"pixel", STAGE_PIXEL}, {"rchit", STAGE_RCHIT},
    {"rgen", STAGE_RGEN},     {"rmiss", STAGE_RMISS},
};

bool IsRayStage(int32_t stage) {
    return stage == STAGE_RCHIT || stage == STAGE_RGEN || stage == STAGE_RMISS;
}

void AddKind(Array<ShaderXmlReader::SourceKind>* kinds, const ShaderXmlReader::SourceKind& kind) {
    for (const ShaderXmlReader::SourceKind& known : *kinds) {
        if (known.stage == kind.stage && known.targets == kind.targets) {
            return;
        }
    }
    kinds->Push(kind);
}

// One item of a target list, [begin, end); 0 when empty, too long or unknown.
TargetFlags ParseTargetItem(const char* begin, const char* end) {
    const ptrdiff_t length = end - begin;
    if (length <= 0 || length > kMaxTargetNameLength) {
        return 0;
    }
    char item[kMaxTargetNameLength + 1];
    memcpy(item, begin, static_cast<size_t>(length));
    item[length] = '\0';
    return ParseTargetName(item);
}

// The first occurrence of needle at or after text, or null. Stops at the first match (strstr
// may look at the whole rest of the text first, which made the scan of a document with many
// nodes quadratic).
const char* FindText(const char* text, const char* needle) {
    const size_t length = strlen(needle);
    for (const char* c = strchr(text, needle[0]); c != nullptr; c = strchr(c + 1, needle[0])) {
        if (strncmp(c, needle, length) == 0) {
            return c;
        }
    }
    return nullptr;
}

// Finds a fixed text at or after positions that only move forward, remembering the last hit so
// that a scan over the whole document stays linear.
class ForwardFinder {
public:
    ForwardFinder(const char* text, const char* needle) : needle_(needle), hit_(FindText(text, needle)) {}

    const char* At(const char* position) {
        if (hit_ != nullptr && hit_ < position) {
            hit_ = FindText(position, needle_);
        }
        return hit_;
    }

private:
    const char* needle_;
    const char* hit_;
};

// A position is inside a comment when the next "-->" comes before the next "<!--".
class CommentTracker {
public:
    explicit CommentTracker(const char* text) : open_(text, "<!--"), close_(text, "-->") {}

    bool Inside(const char* position) {
        const char* close = close_.At(position);
        const char* open = open_.At(position);
        return close != nullptr && (open == nullptr || close < open);
    }

private:
    ForwardFinder open_;
    ForwardFinder close_;
};

// Line numbers of positions met in increasing order.
class LineCounter {
public:
    explicit LineCounter(const char* text) : text_(text), position_(text), line_(1) {}

    int32_t LineAt(const char* position) {
        if (position < position_) {
            position_ = text_;
            line_ = 1;
        }
        for (; position_ < position; ++position_) {
            line_ += *position_ == '\n' ? 1 : 0;
        }
        return line_;
    }

private:
    const char* text_;
    const char* position_;
    int32_t line_;
};

const char* SkipBlanks(const char* c) {
    while (*c == ' ' || *c == '\t' || *c == '\r' || *c == '\n') {
        ++c;
    }
    return c;
}

// After "<array": blanks, "id", blanks, '=', blanks, "\"sources\"". Returns the end of the match.
const char* MatchSourcesId(const char* c) {
    c = SkipBlanks(c);
    if (strncmp(c, "id", 2) != 0) {
        return nullptr;
    }
    c = SkipBlanks(c + 2);
    if (*c != '=') {
        return nullptr;
    }
    c = SkipBlanks(c + 1);
    return strncmp(c, "\"sources\"", 9) == 0 ? c + 9 : nullptr;
}

const char* FindSourcesArray(const char* text, CommentTracker* comments) {
    for (const char* c = FindText(text, "<array"); c != nullptr; c = FindText(c + 6, "<array")) {
        const char* end = MatchSourcesId(c + 6);
        if (end != nullptr && !comments->Inside(c)) {
            return end;
        }
    }
    return nullptr;
}

}  // namespace

TargetFlags ParseTargetList(const char* list) {
    if (list == nullptr || list[0] == '\0') {
        return TARGET_ALL;
    }
    const char* end = list + strlen(list);
    if (list[0] == '~' && strchr(list, ',') == nullptr) {
        const TargetFlags named = end - list > kMaxTargetNameLength ? 0 : ParseTargetItem(list + 1, end);
        return named != 0 ? named ^ TARGET_ALL : 0;
    }
    TargetFlags targets = 0;
    for (const char* item = list;;) {
        const char* comma = strchr(item, ',');
        const char* itemEnd = comma != nullptr ? comma : end;
        const TargetFlags named = ParseTargetItem(item, itemEnd);
        if (named == 0) {
            return 0;
        }
        targets |= named;
        if (comma == nullptr) {
            return targets;
        }
        item = comma + 1;
    }
}

void FindSourceLineNumbers(const char* text, Array<int32_t>* lines) {
    lines->Clear();
    if (text == nullptr) {
        return;
    }
    CommentTracker comments(text);
    const char* start = FindSourcesArray(text, &comments);
    if (start == nullptr) {
        return;
    }
    const char* arrayEnd = FindText(start, "</array");
    ForwardFinder cdata(start, "<![CDATA[");
    ForwardFinder selfClosing(start, "/>");
    ForwardFinder closing(start, "</node");
    LineCounter counter(text);
    for (const char* node = FindText(start, "<node");
         node != nullptr && (arrayEnd == nullptr || node < arrayEnd); node = FindText(node + 5, "<node")) {
        if (comments.Inside(node)) {
            continue;
        }
        const char* textStart = cdata.At(node);
        const char* nodeEnd = selfClosing.At(node);
        if (nodeEnd == nullptr) {
            nodeEnd = closing.At(node);
        }
        const bool inline_ = textStart != nullptr && (nodeEnd == nullptr || textStart < nodeEnd);
        lines->Push(inline_ ? counter.LineAt(textStart) : 1);
    }
}

// ---- The sources array ---------------------------------------------------------------------------

bool ShaderXmlReader::ReadShaderSources() {
    listOnly = false;
    return ReadSourcesArray();
}

bool ShaderXmlReader::ListShaderSources() {
    listOnly = true;
    return ReadSourcesArray();
}

void ShaderXmlReader::LoadFirstLines() {
    firstLines.Clear();
    if (documentText != nullptr) {
        FindSourceLineNumbers(documentText, &firstLines);
        return;
    }
    String text;
    if (!path.IsEmpty() && ReadSourceFile(path.CStr(), &text) == SOURCE_FILE_READ) {
        FindSourceLineNumbers(text.CStr(), &firstLines);
    }
}

bool ShaderXmlReader::ReadSourcesArray() {
    const DMArray* array = database != nullptr ? database->GetArray("sources") : nullptr;
    if (array == nullptr) {
        log->AddErrorFormat("required array '%s' does not exist.", "sources");
        return false;
    }
    description->sources.Clear();
    firstLines.Clear();
    if (array->nodes.count > 0 && !listOnly) {
        LoadFirstLines();
    }
    bool ok = true;
    Array<SourceKind> earlier;  // every source read so far, stored or not, for the conflicts
    Array<SourceKind> kinds;    // the same without repeats: at most one per stage and target set
    for (int32_t i = 0; i < array->nodes.count; ++i) {
        ShaderSource source;
        bool nodeOk = ReadSourceNode(array->nodes[i], i + 1, &source);
        nodeOk = CheckSourceConflicts(earlier, kinds, source) && nodeOk;
        if (source.stage != STAGE_INVALID && source.targets != 0) {
            const SourceKind kind = {source.stage, source.targets};
            earlier.Push(kind);
            AddKind(&kinds, kind);
        }
        if (ok && nodeOk) {
            description->sources.Push(source);
        }
        ok = ok && nodeOk;
    }
    return ok;
}

bool ShaderXmlReader::ReadSourceNode(const DMNode* node, int32_t index, ShaderSource* source) {
    bool ok = true;
    const char* type = node->GetValue("type");
    source->stage = STAGE_INVALID;
    for (const StageName& entry : kStages) {
        if (type != nullptr && strcmp(type, entry.name) == 0) {
            source->stage = entry.stage;
        }
    }
    if (source->stage == STAGE_INVALID) {
        log->AddErrorFormat("shader source %i has invalid type.", index);
        ok = false;
    } else {
        if (IsRayStage(source->stage) != hasRayTracingGroup) {
            log->AddError(
                "'ray_tracing_group' must be set in 'info' array for ray tracing shaders, and must not be "
                "set for non ray tracing shaders.");
            ok = false;
        }
        description->stages |= 1u << source->stage;
    }
    source->targets = ParseTargetList(node->GetValue("target"));
    if (source->targets == 0) {
        log->AddErrorFormat("shader source %i has invalid target(s).", index);
        ok = false;
    }
    if (listOnly) {
        source->fileName = path;
        return ok;
    }
    return ReadSourceText(node, index, source) && ok;
}

// Exactly one of "file" and inline text. Inline text starts on the line after its leading
// blank lines.
bool ShaderXmlReader::ReadSourceText(const DMNode* node, int32_t index, ShaderSource* source) {
    const char* file = node->GetValue("file");
    const char* inlineText = node->GetValue("CDATA");
    if (file == nullptr && inlineText == nullptr) {
        log->AddErrorFormat("shader source %i does not define source code.", index);
        return false;
    }
    if (file != nullptr && inlineText != nullptr) {
        log->AddErrorFormat("shader source %i defines both file and CDATA.", index);
        return false;
    }
    const int32_t tableLine = index <= firstLines.count ? firstLines[index - 1] : 1;
    if (inlineText != nullptr) {
        int32_t skipped = 0;
        const char* start = inlineText;
        for (const char* c = inlineText; *c != '\0' && static_cast<unsigned char>(*c) <= ' '; ++c) {
            if (*c == '\n') {
                ++skipped;
                start = c + 1;
            }
        }
        source->fileName = path;
        source->text.Assign(start);
        source->firstLine = tableLine + skipped;
        return true;
    }
    source->fileName = directory + file;
    source->firstLine = tableLine;
    if (ReadSourceFile(source->fileName.CStr(), &source->text) != SOURCE_FILE_READ) {
        log->AddErrorFormat("failed to open or read shader source file '%s'.", source->fileName.CStr());
        return false;
    }
    return true;
}

// Two sources of one stage may overlap only when the earlier one is for every target (the later
// one then overrides it for its own targets); a ray stage stands alone. Whether there is any
// conflict is decided over the distinct earlier kinds; the messages, one per conflicting earlier
// source, are made only while the log takes them, so thousands of sources stay cheap.
bool ShaderXmlReader::CheckSourceConflicts(const Array<SourceKind>& earlier, const Array<SourceKind>& kinds,
                                           const ShaderSource& source) {
    if (source.stage == STAGE_INVALID || source.targets == 0) {
        return true;
    }
    const SourceKind kind = {source.stage, source.targets};
    bool conflict = false;
    for (const SourceKind& other : kinds) {
        conflict = conflict || SourceConflict(other, kind) != CONFLICT_NONE;
    }
    for (int32_t i = 0; conflict && i < earlier.count && !log->IsFull(); ++i) {
        ReportSourceConflict(earlier[i], kind);
    }
    return !conflict;
}

void ShaderXmlReader::ReportSourceConflict(const SourceKind& earlier, const SourceKind& source) {
    const char* stageName = GetStageName(source.stage);
    switch (SourceConflict(earlier, source)) {
        case CONFLICT_ALL_TARGETS:
            log->AddErrorFormat("multiple %s shader sources target all targets.", stageName);
            break;
        case CONFLICT_SAME_TARGET:
            log->AddErrorFormat("multiple %s shader sources target the same target.", stageName);
            break;
        case CONFLICT_RAY_STAGE:
            log->AddErrorFormat("incompatible shader types '%s' and '%s' in the same Shader XML.",
                                GetStageName(earlier.stage), stageName);
            break;
        default:
            break;
    }
}

}  // namespace ShaderTool
