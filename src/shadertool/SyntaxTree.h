// The syntax tree of one shading-language source: node records, the one numbering shared by
// operators, statement words, declaration kinds and functions, and the spelling of operators
// and types. The parser builds the tree, the semantic analyzer owns it, translators walk it.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "shadertool/ShaderType.h"

namespace ShaderTool {

enum NodeKind : int32_t {
    NODE_DECLARATION = 0,
    NODE_FUNCTION = 1,
    NODE_CALL = 2,
    NODE_LOOP = 3,
    NODE_JUMP = 4,
    NODE_LITERAL = 5,
    NODE_OPERATION = 6,
    NODE_IF = 7,
    NODE_VARIABLE = 8,
};

// Bits of Node::flags.
enum NodeFlag : uint32_t {
    NODE_FLAG_REPEATED_SWIZZLE = 1,  // a member access whose swizzle names a component twice
    NODE_FLAG_INITIALIZER = 2,       // the assignment of a declaration's initialiser
};

// One numbering for operators (0-41), statement words (43-46), user functions (47),
// declaration kinds (48-50), intrinsic functions (51-98) and type constructors (99-115).
enum FunctionId : int32_t {
    OP_BIT_NOT = 0,
    OP_PARENTHESES = 1,
    OP_LOGICAL_NOT = 2,
    OP_NEGATE = 3,
    OP_UNARY_PLUS = 4,
    OP_POST_DECREMENT = 5,
    OP_POST_INCREMENT = 6,
    OP_PRE_DECREMENT = 7,
    OP_PRE_INCREMENT = 8,
    OP_ADD = 9,
    OP_ASSIGN = 10,
    OP_ADD_ASSIGN = 11,
    OP_AND_ASSIGN = 12,
    OP_DIVIDE_ASSIGN = 13,
    OP_LEFT_SHIFT_ASSIGN = 14,
    OP_MODULO_ASSIGN = 15,
    OP_MULTIPLY_ASSIGN = 16,
    OP_OR_ASSIGN = 17,
    OP_RIGHT_SHIFT_ASSIGN = 18,
    OP_SUBTRACT_ASSIGN = 19,
    OP_XOR_ASSIGN = 20,
    OP_BIT_AND = 21,
    OP_BIT_OR = 22,
    OP_BIT_XOR = 23,
    OP_DIVIDE = 24,
    OP_EQUAL = 25,
    OP_GREATER = 26,
    OP_GREATER_EQUAL = 27,
    OP_LEFT_SHIFT = 28,
    OP_LESS = 29,
    OP_LESS_EQUAL = 30,
    OP_LOGICAL_AND = 31,
    OP_LOGICAL_OR = 32,
    OP_MEMBER = 33,
    OP_MODULO = 34,
    OP_MULTIPLY = 35,
    OP_NOT_EQUAL = 36,
    OP_RIGHT_SHIFT = 37,
    OP_INDEX = 38,
    OP_SUBTRACT = 39,
    OP_CONDITIONAL = 40,  // left: the condition; right: the OP_BRANCHES node
    OP_BRANCHES = 41,     // left: the true value; right: the false value
    OP_NONE = 42,

    STATEMENT_BREAK = 43,
    STATEMENT_CONTINUE = 44,
    STATEMENT_DISCARD = 45,
    STATEMENT_RETURN = 46,

    FUNCTION_USER = 47,

    DECLARATION_BLOCK = 48,
    DECLARATION_STRUCT = 49,
    DECLARATION_VARIABLE = 50,

    FUNCTION_ABS = 51,
    FUNCTION_ACOS = 52,
    FUNCTION_ALL = 53,
    FUNCTION_ANY = 54,
    FUNCTION_ASIN = 55,
    FUNCTION_ATAN = 56,
    FUNCTION_ATAN2 = 57,
    FUNCTION_FLOAT_BITS_TO_UINT = 58,
    FUNCTION_CEIL = 59,
    FUNCTION_CLAMP = 60,
    FUNCTION_COS = 61,
    FUNCTION_CROSS = 62,
    FUNCTION_DEGREES = 63,
    FUNCTION_DISTANCE = 64,
    FUNCTION_DOT = 65,
    FUNCTION_EXP = 66,
    FUNCTION_EXP2 = 67,
    FUNCTION_FLOOR = 68,
    FUNCTION_FRAC = 69,
    FUNCTION_LENGTH = 70,
    FUNCTION_LERP = 71,
    FUNCTION_LOAD_INDICES = 72,
    FUNCTION_LOG = 73,
    FUNCTION_LOG2 = 74,
    FUNCTION_MAX = 75,
    FUNCTION_MIN = 76,
    FUNCTION_NORMALIZE = 77,
    FUNCTION_OBJECT_SPACE_TO_WORLD = 78,
    FUNCTION_POW = 79,
    FUNCTION_RADIANS = 80,
    FUNCTION_REFLECT = 81,
    FUNCTION_RSQRT = 82,
    FUNCTION_SAMPLE_TEXTURE = 83,
    FUNCTION_SAMPLE_TEXTURE_COMPARE_LOD_ZERO = 84,
    FUNCTION_SAMPLE_TEXTURE_GRAD = 85,
    FUNCTION_SAMPLE_TEXTURE_LOD = 86,
    FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET = 87,
    FUNCTION_SATURATE = 88,
    FUNCTION_SIGN = 89,
    FUNCTION_SIN = 90,
    FUNCTION_SMOOTHSTEP = 91,
    FUNCTION_SQRT = 92,
    FUNCTION_STEP = 93,
    FUNCTION_STORE_IMAGE = 94,
    FUNCTION_TAN = 95,
    FUNCTION_TRACE = 96,
    FUNCTION_TRANSPOSE = 97,
    FUNCTION_UNPACK_UNORM4_TO_FLOAT4 = 98,

    CONSTRUCTOR_BOOL = 99,
    CONSTRUCTOR_FLOAT = 100,
    CONSTRUCTOR_FLOAT2 = 101,
    CONSTRUCTOR_FLOAT3 = 102,
    CONSTRUCTOR_FLOAT4 = 103,
    CONSTRUCTOR_FLOAT2X2 = 104,
    CONSTRUCTOR_FLOAT3X3 = 105,
    CONSTRUCTOR_FLOAT4X4 = 106,
    CONSTRUCTOR_INT = 107,
    CONSTRUCTOR_INT2 = 108,
    CONSTRUCTOR_INT3 = 109,
    CONSTRUCTOR_INT4 = 110,
    CONSTRUCTOR_UINT = 111,
    CONSTRUCTOR_UINT2 = 112,
    CONSTRUCTOR_UINT3 = 113,
    CONSTRUCTOR_UINT4 = 114,
    CONSTRUCTOR_NONE = 115,
};

enum { OPERATOR_COUNT = 42 };

enum LoopKind : int32_t {
    LOOP_DO_WHILE = 0,
    LOOP_FOR = 1,
    LOOP_WHILE = 2,
};

// Array size of an array declared with empty brackets, until its initializer list sizes it.
enum : int32_t { ARRAY_SIZE_UNSIZED = -1 };

// The header every node starts with. Nodes are plain records freed by kind (FreeNode), never
// through a virtual destructor.
struct Node {
    uint32_t flags;  // NodeFlag bits
    int32_t column;  // source position of the node's first token
    int32_t line;
    int32_t kind;  // NodeKind

    explicit Node(int32_t nodeKind) : flags(0), column(0), line(0), kind(nodeKind) {}
};

// Statement blocks (48), struct declarations (49) and variable declarations (50).
struct DeclarationNode : Node {
    Type type;
    int32_t declarationKind;
    Array<Node*> children;
    String name;     // left empty by the front end
    uint8_t braced;  // the source wrote braces, or a branch body had to be supplied

    DeclarationNode() : Node(NODE_DECLARATION), declarationKind(DECLARATION_BLOCK), braced(0) {}
};

// Function (kind 1) and call (kind 2) nodes; also the built-in function records.
// Child 0 is the parameter or argument block; a defined function has its body as child 1.
struct Symbol : Node {
    Type type;           // return type of a function, result type of a call
    int32_t functionId;  // FunctionId of a built-in or constructor; FUNCTION_USER otherwise
    Array<Node*> children;
    String name;  // the function's name; a constructor call's type spelling
    String key;   // the function key, set when the function is declared
    uint8_t isBuiltin;
    uint8_t isDefinition;

    Symbol() : Node(NODE_FUNCTION), functionId(CONSTRUCTOR_NONE), isBuiltin(0), isDefinition(0) {}
};

struct LoopNode : Node {
    Node* body;
    Node* init;
    Node* step;
    Node* condition;
    int32_t loopKind;  // LoopKind

    LoopNode()
        : Node(NODE_LOOP),
          body(nullptr),
          init(nullptr),
          step(nullptr),
          condition(nullptr),
          loopKind(LOOP_FOR) {}
};

// break, continue, discard and return.
struct JumpNode : Node {
    Node* operand;        // the returned value, or null
    int32_t statementId;  // STATEMENT_BREAK .. STATEMENT_RETURN

    JumpNode() : Node(NODE_JUMP), operand(nullptr), statementId(STATEMENT_RETURN) {}
};

struct LiteralNode : Node {
    Type type;  // always carries isConstant
    String value;

    LiteralNode() : Node(NODE_LITERAL) {}
};

struct OperationNode : Node {
    Type type;  // the result type; kind none while unresolved or after an error
    Node* left;
    Node* right;  // null for unary and postfix operators
    int32_t operatorId;

    OperationNode() : Node(NODE_OPERATION), left(nullptr), right(nullptr), operatorId(OP_NONE) {}
};

struct IfNode : Node {
    Node* condition;
    Node* elseBranch;  // null when absent
    Node* thenBranch;

    IfNode() : Node(NODE_IF), condition(nullptr), elseBranch(nullptr), thenBranch(nullptr) {}
};

// One variable node stands for the declaration and for every use of the variable.
struct VariableNode : Node {
    Type type;
    String name;
    int32_t stageConstant;  // 1: a shader constant the stage declares as a global of its own

    VariableNode() : Node(NODE_VARIABLE), stageConstant(0) {}
};

// The spelling of an operator or statement word id; "" for any other id.
const char* GetOperatorText(int32_t id);

// The base name of a type's kind, without vector or matrix size: readable ("float",
// "Texture2D", the struct's name) or key form ("f", "t2", "_" and the struct's name).
String GetBaseTypeName(const Type& type, bool keyForm);
// The full spelling: readable ("float3", "float4x4") or key form ("f3", "fx4", "b_u3", "f2[4").
String FormatTypeName(const Type& type, bool keyForm);

// The constructor id of a type (99..114), or CONSTRUCTOR_NONE for void, textures and structs.
int32_t GetConstructorId(const Type& type);

// The function key: the name, then "," and the key spelling of each parameter; a function
// without parameters is its name and one ",".
String BuildFunctionKey(const Symbol& function);

// The parameters (functions) or arguments (calls) of a function or call node.
DeclarationNode* GetParameterBlock(const Symbol& function);

// The Type of an expression node: literal, operation, variable, call or function; a declaration's
// declared type; null for kinds that carry none (loops, jumps, ifs).
const Type* GetNodeType(const Node* node);
Type* GetNodeType(Node* node);

// Frees one node's own record and the texts and arrays it owns; never the nodes it points to.
void FreeNode(Node* node);

}  // namespace ShaderTool
