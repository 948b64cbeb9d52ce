// The Shader XML reader: turns a Shader XML document (a data-manager database) into a
// ShaderDescription, checking every entry and reporting each fault into the working log.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "shadertool/MessageLog.h"
#include "shadertool/ShaderDescription.h"
#include "shadertool/Symbols.h"

struct DMArray;
struct DMDatabase;
struct DMNode;

namespace ShaderTool {

// The target set of a target list ("HLSL11,GLSL", "~HLSL9"): 511 for a null or empty list, 0
// when any item is unknown, empty or longer than 15 characters. A leading '~' inverts a single
// item only.
TargetFlags ParseTargetList(const char* list);

// The 1-based line of each source node's "<![CDATA[" (1 for a node without one), in node order,
// found in the document's text: the first "<array id=\"sources\"" outside comments, up to its
// "</array". Nodes inside comments are skipped.
void FindSourceLineNumbers(const char* text, Array<int32_t>* lines);

// Value types of the variable arrays ("FLOAT4", "INT", "FLOAT4X4"...): the type, const when
// asked, an array of count elements above 1, marked as a buffer element when asked. Any other
// name gives the type "none".
Type ParseValueType(const char* name, bool isConst, int32_t count, bool isBufferElement);

// Types and modes of the other variable arrays; an unknown text gives the type "none" or false.
// "[]" after a texture or buffer type makes an array of unspecified size.
Type ParseTextureType(const char* text);
Type ParseBufferType(const char* text);
Type ParseRayPayloadType(const char* text);
bool ParseAddressMode(const char* text, int32_t* mode);  // absent 0, CLAMP 1, WRAP 2, MIRROR 3
bool ParseFilterMode(const char* text, int32_t* mode);   // absent 0, POINT 1, LINEAR 2, ANISOTROPIC 3

class ShaderXmlReader {
public:
    MessageLog* log;
    ShaderDescription* description;
    String directory;           // of the Shader XML, with a trailing '/'; empty for none
    String path;                // of the Shader XML; the file name of CDATA sources
    Array<int32_t> firstLines;  // per source node, the line its CDATA starts on
    DMDatabase* database;       // the document being read
    const char* documentText;   // the document's text when it was read from memory
    bool listOnly;              // sources: types, targets and conflicts only
    bool hasRayTracingGroup;    // the info array names a ray tracing group
    // Definition name to its index in the description's list, for replacements and counts:
    // documents with thousands of entries must not make reading quadratic.
    NameHashMap<int32_t> definitionIndex;

    ShaderXmlReader(MessageLog* log, ShaderDescription* description);

    // Reads the document at path through the data manager (unloading its cached database first
    // when reload is set). A missing file reads as a document without info array (version 0).
    // On success the file's modification time goes into the description.
    bool ReadFile(const char* path, bool reload, bool list);
    // Reads a document held in memory (at least 4 bytes) through a temporary database. The path
    // (may be null) names inline sources and is where relative files are looked for.
    bool ReadText(const char* path, const char* text, int32_t length, bool list);

    // Reads every array of the current database in order; false at the first failed step.
    bool ReadShaderXmlArrays(bool list);
    // Reads only the "sources" array of the current database (valid while the data manager
    // keeps it loaded).
    bool ReadShaderSources();
    // As ReadShaderSources, but only each source's type and targets and the conflicts between
    // sources: no text is read.
    bool ListShaderSources();

    // Empties the description and forgets the document.
    void Reset();

private:
    void SetPath(const char* path);

    // Info and definitions (ShaderXmlReader.cpp).
    bool ReadInfo();
    bool ReadDefinitions();
    bool ReadDefinitionArray(const DMArray* array, bool included, bool store);
    bool ReadDefinitionNode(const DMNode* node, bool included, bool store);
    bool ReadDefinitionFile(const char* value, bool store);
    bool CheckCrossReferences();

    // Sources (ShaderXmlSources.cpp).
    bool ReadSourcesArray();
    bool ReadSourceNode(const DMNode* node, int32_t index, ShaderSource* source);
    bool ReadSourceText(const DMNode* node, int32_t index, ShaderSource* source);
    void LoadFirstLines();

public:
    // The stage and target set of a source, for the conflict checks between sources.
    struct SourceKind {
        int32_t stage;
        TargetFlags targets;
    };

private:
    enum SourceConflictKind { CONFLICT_NONE, CONFLICT_ALL_TARGETS, CONFLICT_SAME_TARGET, CONFLICT_RAY_STAGE };
    static SourceConflictKind SourceConflict(const SourceKind& earlier, const SourceKind& source);
    void ReportSourceConflict(const SourceKind& earlier, const SourceKind& source);
    bool CheckSourceConflicts(const Array<SourceKind>& earlier, const Array<SourceKind>& kinds,
                              const ShaderSource& source);

    // Variable arrays (ShaderXmlVariables.cpp).
    bool ReadVertexInput();
    bool ReadConstantArray(const char* arrayName, Array<ShaderVariable>* list);
    bool ReadVertexOutput();
    bool ReadPixelTextures();
    bool ReadPixelOutput();
    bool ReadBuffers();
    bool ReadImages();
    bool ReadRayPayloads();
    bool ReadVertexInputVariable(const DMNode* node, ShaderVariable* variable);
    bool ReadConstantVariable(const DMNode* node, const char* arrayName, ShaderVariable* variable);
    bool ReadVertexOutputVariable(const DMNode* node, int32_t* semanticCounts, StageVariable* variable);
    bool ReadImageVariable(const DMNode* node, ImageVariable* image);
    bool ReadPixelTextureVariable(const DMNode* node, TextureVariable* texture);
    bool ReadTextureModes(const DMNode* node, TextureVariable* texture, const char* name);
    bool ReadBufferVariable(const DMNode* node, StageVariable* buffer);
    bool ReadRayPayloadVariable(const DMNode* node, StageVariable* payload);
    // The id rule: name gets the node's id ("?" without one); false after reporting a missing id
    // or one starting with '_'.
    bool CheckVariableId(const DMNode* node, const char* label, String* name);
    bool CheckSlot(const DMNode* node, const char* label, const char* name, bool required, int32_t* slot);
};

}  // namespace ShaderTool
