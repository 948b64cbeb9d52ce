/* The shading-language grammar. Every reduction builds its part of the syntax tree and runs the
   semantic checks at once (ParserActions.h); there is no separate analysis pass. Only grammar
   wiring belongs here: the work of each action lives in ParserActions.cpp and the checks. */

%code requires {
#include "shadertool/ParserValue.h"
/* The value record is plain, so the parser may move its stack with memcpy when it grows. */
#define ZQSLSTYPE_IS_TRIVIAL 1
}

%code {
#include <cstring>

#include "shadertool/DeclarationChecks.h"
#include "shadertool/ExpressionTyping.h"
#include "shadertool/Parser.h"
#include "shadertool/ParserActions.h"

using namespace ShaderTool;

#define A (*analyzer)

static int zqsllex(ZQSLSTYPE* value, SemanticAnalyzer* analyzer) {
    return NextParserToken(value, analyzer);
}

/* "syntax error" and "memory exhausted", at the token read last. */
static void zqslerror(SemanticAnalyzer* analyzer, const char* message) {
    analyzer->ReportError(analyzer->CurrentPosition(), "%s", message);
}
}

%define api.prefix {zqsl}
%define api.pure full
%define api.value.type {ShaderTool::ParserValue}
%parse-param {ShaderTool::SemanticAnalyzer* analyzer}
%lex-param {ShaderTool::SemanticAnalyzer* analyzer}
/* Reduce without looking ahead only where no other action is possible, so that a token no rule
   can take is refused before any action runs on its account. */
%define lr.default-reduction consistent
/* The dangling else: it binds to the nearest open if (shift). */
%expect 1

%token ZQSL_BOOL ZQSL_FLOAT ZQSL_FLOAT2 ZQSL_FLOAT2X2 ZQSL_FLOAT3 ZQSL_FLOAT3X3 ZQSL_FLOAT4
%token ZQSL_FLOAT4X4 ZQSL_INT ZQSL_INT2 ZQSL_INT3 ZQSL_INT4 ZQSL_UINT ZQSL_UINT2 ZQSL_UINT3
%token ZQSL_UINT4 ZQSL_VOID
%token ZQSL_TEXTURE2D ZQSL_TEXTURE3D ZQSL_TEXTURECUBE ZQSL_USER_TYPE
%token ZQSL_BREAK ZQSL_CONST ZQSL_CONTINUE ZQSL_DISCARD ZQSL_DO ZQSL_ELSE ZQSL_FOR ZQSL_IF
%token ZQSL_RETURN ZQSL_STRUCT ZQSL_WHILE
%token ZQSL_BOOL_CONSTANT ZQSL_FLOAT_CONSTANT ZQSL_IDENTIFIER ZQSL_INT_CONSTANT
%token ZQSL_UINT_CONSTANT
%token ZQSL_AMPERSAND ZQSL_CARET ZQSL_DECREASE_OP ZQSL_INCREASE_OP ZQSL_GREATER_THAN_EQUAL_OP
%token ZQSL_LEFT_SHIFT_OP ZQSL_LESS_THAN_EQUAL_OP ZQSL_EQUAL_OP ZQSL_NOT_EQUAL_OP
%token ZQSL_LOGICAL_AND_OP ZQSL_LOGICAL_OR_OP ZQSL_RIGHT_SHIFT_OP ZQSL_VERTICAL_BAR
%token ZQSL_ASSIGN_ADD ZQSL_ASSIGN_AND ZQSL_ASSIGN_DIVIDE ZQSL_ASSIGN_LEFT_SHIFT
%token ZQSL_ASSIGN_MODULO ZQSL_ASSIGN_MULTIPLY ZQSL_ASSIGN_OR ZQSL_ASSIGN_RIGHT_SHIFT
%token ZQSL_ASSIGN_SUBTRACT ZQSL_ASSIGN_XOR
%token ZQSL_ASTERISK ZQSL_COLON ZQSL_COMMA ZQSL_DASH ZQSL_EQUAL ZQSL_EXCLAMATION ZQSL_PERCENT
%token ZQSL_PERIOD ZQSL_PLUS ZQSL_QUESTION ZQSL_SEMICOLON ZQSL_SLASH ZQSL_TILDE
%token ZQSL_LEFT_BRACE ZQSL_LEFT_BRACKET ZQSL_LEFT_CHEVRON ZQSL_LEFT_PARENTHESIS
%token ZQSL_RIGHT_BRACE ZQSL_RIGHT_BRACKET ZQSL_RIGHT_CHEVRON ZQSL_RIGHT_PARENTHESIS
%token ZQSL_RESERVED

%start translation_unit

%%

/* ---- Expressions ---- */

variable_identifier
    : ZQSL_IDENTIFIER { $$ = $1; $$.node = ActionVariableIdentifier(A, $1); }
    ;

primary_expression
    : variable_identifier
    | ZQSL_INT_CONSTANT { $$ = $1; $$.node = CreateLiteral(A, TYPE_INT, $1.text, $1.position); }
    | ZQSL_UINT_CONSTANT { $$ = $1; $$.node = CreateLiteral(A, TYPE_UINT, $1.text, $1.position); }
    | ZQSL_FLOAT_CONSTANT { $$ = $1; $$.node = CreateLiteral(A, TYPE_FLOAT, $1.text, $1.position); }
    | ZQSL_BOOL_CONSTANT { $$ = $1; $$.node = CreateLiteral(A, TYPE_BOOL, $1.text, $1.position); }
    | ZQSL_LEFT_PARENTHESIS expression ZQSL_RIGHT_PARENTHESIS
        { $$ = $1; $$.node = ActionParentheses(A, $2.node, $1.position); }
    ;

postfix_expression
    : primary_expression
    | postfix_expression ZQSL_LEFT_BRACKET integer_expression ZQSL_RIGHT_BRACKET
        { $$ = $1; $$.node = ResolveIndex(A, $1.node, $3.node, $2.position); }
    | function_call
    | postfix_expression ZQSL_PERIOD ZQSL_IDENTIFIER
        { $$ = $1; $$.node = ResolveMemberAccess(A, $1.node, $3.text, $2.position); }
    | postfix_expression ZQSL_INCREASE_OP
        { $$ = $1; $$.node = ActionUnary(A, OP_POST_INCREMENT, $1.node, $2.position); }
    | postfix_expression ZQSL_DECREASE_OP
        { $$ = $1; $$.node = ActionUnary(A, OP_POST_DECREMENT, $1.node, $2.position); }
    ;

integer_expression
    : expression
    ;

function_call
    : function_call_or_method
    ;

function_call_or_method
    : function_call_generic
        { $$ = $1; if ($1.node != nullptr) ResolveCall(A, static_cast<Symbol*>($1.node)); }
    ;

function_call_generic
    : function_call_header_with_parameters ZQSL_RIGHT_PARENTHESIS
    | function_call_header_no_parameters ZQSL_RIGHT_PARENTHESIS
    ;

function_call_header_no_parameters
    : function_call_header
    ;

function_call_header_with_parameters
    : function_call_header assignment_expression
        { $$ = $1; ActionAppendArgument($1.node, $2.node); }
    | function_call_header_with_parameters ZQSL_COMMA assignment_expression
        { $$ = $1; ActionAppendArgument($1.node, $3.node); }
    ;

function_call_header
    : function_identifier ZQSL_LEFT_PARENTHESIS { $$ = $1; $$.node = ActionCallHeader(A, $1); }
    ;

function_identifier
    : type_specifier
    | ZQSL_IDENTIFIER
        { $$ = $1; SetScalarSpecifier(&$$, TYPE_NONE, 0); }
    ;

unary_expression
    : postfix_expression
    | ZQSL_INCREASE_OP unary_expression
        { $$ = $1; $$.node = ActionUnary(A, OP_PRE_INCREMENT, $2.node, $1.position); }
    | ZQSL_DECREASE_OP unary_expression
        { $$ = $1; $$.node = ActionUnary(A, OP_PRE_DECREMENT, $2.node, $1.position); }
    | unary_operator unary_expression
        { $$ = $1; $$.node = ActionUnary(A, $1.operatorId, $2.node, $1.position); }
    ;

unary_operator
    : ZQSL_PLUS { $$ = $1; $$.operatorId = OP_UNARY_PLUS; }
    | ZQSL_DASH { $$ = $1; $$.operatorId = OP_NEGATE; }
    | ZQSL_EXCLAMATION { $$ = $1; $$.operatorId = OP_LOGICAL_NOT; }
    | ZQSL_TILDE { $$ = $1; $$.operatorId = OP_BIT_NOT; }
    ;

multiplicative_expression
    : unary_expression
    | multiplicative_expression ZQSL_ASTERISK unary_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_MULTIPLY, $1.node, $3.node, $2.position); }
    | multiplicative_expression ZQSL_SLASH unary_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_DIVIDE, $1.node, $3.node, $2.position); }
    | multiplicative_expression ZQSL_PERCENT unary_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_MODULO, $1.node, $3.node, $2.position); }
    ;

additive_expression
    : multiplicative_expression
    | additive_expression ZQSL_PLUS multiplicative_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_ADD, $1.node, $3.node, $2.position); }
    | additive_expression ZQSL_DASH multiplicative_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_SUBTRACT, $1.node, $3.node, $2.position); }
    ;

shift_expression
    : additive_expression
    | shift_expression ZQSL_LEFT_SHIFT_OP additive_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_LEFT_SHIFT, $1.node, $3.node, $2.position); }
    | shift_expression ZQSL_RIGHT_SHIFT_OP additive_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_RIGHT_SHIFT, $1.node, $3.node, $2.position); }
    ;

relational_expression
    : shift_expression
    | relational_expression ZQSL_LEFT_CHEVRON shift_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_LESS, $1.node, $3.node, $2.position); }
    | relational_expression ZQSL_RIGHT_CHEVRON shift_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_GREATER, $1.node, $3.node, $2.position); }
    | relational_expression ZQSL_LESS_THAN_EQUAL_OP shift_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_LESS_EQUAL, $1.node, $3.node, $2.position); }
    | relational_expression ZQSL_GREATER_THAN_EQUAL_OP shift_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_GREATER_EQUAL, $1.node, $3.node, $2.position); }
    ;

equality_expression
    : relational_expression
    | equality_expression ZQSL_EQUAL_OP relational_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_EQUAL, $1.node, $3.node, $2.position); }
    | equality_expression ZQSL_NOT_EQUAL_OP relational_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_NOT_EQUAL, $1.node, $3.node, $2.position); }
    ;

and_expression
    : equality_expression
    | and_expression ZQSL_AMPERSAND equality_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_BIT_AND, $1.node, $3.node, $2.position); }
    ;

exclusive_or_expression
    : and_expression
    | exclusive_or_expression ZQSL_CARET and_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_BIT_XOR, $1.node, $3.node, $2.position); }
    ;

inclusive_or_expression
    : exclusive_or_expression
    | inclusive_or_expression ZQSL_VERTICAL_BAR exclusive_or_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_BIT_OR, $1.node, $3.node, $2.position); }
    ;

logical_and_expression
    : inclusive_or_expression
    | logical_and_expression ZQSL_LOGICAL_AND_OP inclusive_or_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_LOGICAL_AND, $1.node, $3.node, $2.position); }
    ;

logical_or_expression
    : logical_and_expression
    | logical_or_expression ZQSL_LOGICAL_OR_OP logical_and_expression
        { $$ = $1; $$.node = ActionBinary(A, OP_LOGICAL_OR, $1.node, $3.node, $2.position); }
    ;

conditional_expression
    : logical_or_expression
    | logical_or_expression ZQSL_QUESTION expression ZQSL_COLON assignment_expression
        { $$ = $1;
          $$.node = ActionConditional(A, $1.node, $3.node, $5.node, $2.position, $4.position); }
    ;

assignment_expression
    : conditional_expression
    | unary_expression assignment_operator assignment_expression
        { $$ = $1; $$.node = ActionBinary(A, $2.operatorId, $1.node, $3.node, $2.position); }
    ;

assignment_operator
    : ZQSL_EQUAL { $$ = $1; $$.operatorId = OP_ASSIGN; }
    | ZQSL_ASSIGN_MULTIPLY { $$ = $1; $$.operatorId = OP_MULTIPLY_ASSIGN; }
    | ZQSL_ASSIGN_DIVIDE { $$ = $1; $$.operatorId = OP_DIVIDE_ASSIGN; }
    | ZQSL_ASSIGN_MODULO { $$ = $1; $$.operatorId = OP_MODULO_ASSIGN; }
    | ZQSL_ASSIGN_ADD { $$ = $1; $$.operatorId = OP_ADD_ASSIGN; }
    | ZQSL_ASSIGN_SUBTRACT { $$ = $1; $$.operatorId = OP_SUBTRACT_ASSIGN; }
    | ZQSL_ASSIGN_LEFT_SHIFT { $$ = $1; $$.operatorId = OP_LEFT_SHIFT_ASSIGN; }
    | ZQSL_ASSIGN_RIGHT_SHIFT { $$ = $1; $$.operatorId = OP_RIGHT_SHIFT_ASSIGN; }
    | ZQSL_ASSIGN_AND { $$ = $1; $$.operatorId = OP_AND_ASSIGN; }
    | ZQSL_ASSIGN_XOR { $$ = $1; $$.operatorId = OP_XOR_ASSIGN; }
    | ZQSL_ASSIGN_OR { $$ = $1; $$.operatorId = OP_OR_ASSIGN; }
    ;

expression
    : assignment_expression
    ;

/* ---- Declarations ---- */

declaration
    : function_prototype ZQSL_SEMICOLON
        { $$ = $1; A.DeclareFunction(static_cast<Symbol*>($1.node), false); }
    | init_declarator_list ZQSL_SEMICOLON
    ;

function_prototype
    : function_declarator ZQSL_RIGHT_PARENTHESIS
    ;

function_declarator
    : function_header
    | function_header_with_parameters
    ;

function_header_with_parameters
    : function_header parameter_declaration
        { $$ = $1; ActionAppendParameter($1.node, $2.node); }
    | function_header_with_parameters ZQSL_COMMA parameter_declaration
        { $$ = $1; ActionAppendParameter($1.node, $3.node); }
    ;

function_header
    : fully_specified_type ZQSL_IDENTIFIER ZQSL_LEFT_PARENTHESIS
        { $$ = $2; $$.node = ActionFunctionHeader(A, $1, $2); }
    ;

parameter_declarator
    : type_specifier ZQSL_IDENTIFIER
        { $$ = $2; $$.node = ActionParameter(A, $1, $2, 0); }
    | type_specifier ZQSL_IDENTIFIER array_specifier
        { $$ = $2; $$.node = ActionParameter(A, $1, $2, $3.arraySize); }
    ;

parameter_declaration
    : type_qualifier parameter_declarator
        { $$ = $2; ActionCheckParameter(A, $2.node, $1.specifier.qualifiers); }
    | parameter_declarator
        { $$ = $1; ActionCheckParameter(A, $1.node, 0); }
    | type_qualifier parameter_type_specifier
        { $$ = $2; ActionCheckParameter(A, $2.node, $1.specifier.qualifiers); }
    | parameter_type_specifier
        { $$ = $1; ActionCheckParameter(A, $1.node, 0); }
    ;

parameter_type_specifier
    : type_specifier { $$ = $1; $$.node = ActionUnnamedParameter(A, $1); }
    ;

init_declarator_list
    : single_declaration
    | init_declarator_list ZQSL_COMMA ZQSL_IDENTIFIER
        { $$ = $1; ActionAppendDeclarator(A, &$$, $3, nullptr, $3.position); }
    | init_declarator_list ZQSL_COMMA ZQSL_IDENTIFIER ZQSL_EQUAL initializer
        { $$ = $1; ActionAppendDeclarator(A, &$$, $3, &$5, $4.position); }
    ;

single_declaration
    : fully_specified_type
        { $$ = $1; $$.arraySize = 0; $$.node = DeclareStruct(A, TypeFromSpecifier($1.specifier)); }
    | fully_specified_type ZQSL_IDENTIFIER
        { $$ = $1; $$.arraySize = 0; ActionDeclareVariable(A, &$$, $2, nullptr, $2.position); }
    | fully_specified_type ZQSL_IDENTIFIER array_specifier
        { $$ = $1; $$.arraySize = $3.arraySize; ActionDeclareArray(A, &$$, $2, nullptr, $2.position); }
    | fully_specified_type ZQSL_IDENTIFIER array_specifier ZQSL_EQUAL ZQSL_LEFT_BRACE initializer_list ZQSL_RIGHT_BRACE
        { $$ = $1; $$.arraySize = $3.arraySize; ActionDeclareArray(A, &$$, $2, &$6, $4.position); }
    | fully_specified_type ZQSL_IDENTIFIER ZQSL_EQUAL initializer
        { $$ = $1; $$.arraySize = 0; ActionDeclareVariable(A, &$$, $2, &$4, $3.position); }
    ;

fully_specified_type
    : type_specifier
    | type_qualifier type_specifier
        { $$ = $2; $$.position = $1.position; $$.specifier.qualifiers = $1.specifier.qualifiers; }
    ;

type_qualifier
    : single_type_qualifier
    ;

single_type_qualifier
    : storage_qualifier
    ;

storage_qualifier
    : ZQSL_CONST { $$ = $1; SetScalarSpecifier(&$$, TYPE_NONE, 0); $$.specifier.qualifiers = QUALIFIER_CONST; }
    ;

type_specifier
    : type_specifier_nonarray
    ;

array_specifier
    : ZQSL_LEFT_BRACKET ZQSL_RIGHT_BRACKET { $$ = $1; $$.arraySize = ARRAY_SIZE_UNSIZED; }
    | ZQSL_LEFT_BRACKET ZQSL_INT_CONSTANT ZQSL_RIGHT_BRACKET
        { $$ = $1; $$.arraySize = ArraySizeFromLiteral($2.text); }
    ;

type_specifier_nonarray
    : ZQSL_VOID { $$ = $1; SetScalarSpecifier(&$$, TYPE_VOID, 1); }
    | ZQSL_FLOAT { $$ = $1; SetScalarSpecifier(&$$, TYPE_FLOAT, 1); }
    | ZQSL_INT { $$ = $1; SetScalarSpecifier(&$$, TYPE_INT, 1); }
    | ZQSL_UINT { $$ = $1; SetScalarSpecifier(&$$, TYPE_UINT, 1); }
    | ZQSL_BOOL { $$ = $1; SetScalarSpecifier(&$$, TYPE_BOOL, 1); }
    | ZQSL_FLOAT2 { $$ = $1; SetScalarSpecifier(&$$, TYPE_FLOAT, 2); }
    | ZQSL_FLOAT3 { $$ = $1; SetScalarSpecifier(&$$, TYPE_FLOAT, 3); }
    | ZQSL_FLOAT4 { $$ = $1; SetScalarSpecifier(&$$, TYPE_FLOAT, 4); }
    | ZQSL_INT2 { $$ = $1; SetScalarSpecifier(&$$, TYPE_INT, 2); }
    | ZQSL_INT3 { $$ = $1; SetScalarSpecifier(&$$, TYPE_INT, 3); }
    | ZQSL_INT4 { $$ = $1; SetScalarSpecifier(&$$, TYPE_INT, 4); }
    | ZQSL_UINT2 { $$ = $1; SetScalarSpecifier(&$$, TYPE_UINT, 2); }
    | ZQSL_UINT3 { $$ = $1; SetScalarSpecifier(&$$, TYPE_UINT, 3); }
    | ZQSL_UINT4 { $$ = $1; SetScalarSpecifier(&$$, TYPE_UINT, 4); }
    | ZQSL_FLOAT2X2 { $$ = $1; SetMatrixSpecifier(&$$, 2); }
    | ZQSL_FLOAT3X3 { $$ = $1; SetMatrixSpecifier(&$$, 3); }
    | ZQSL_FLOAT4X4 { $$ = $1; SetMatrixSpecifier(&$$, 4); }
    | ZQSL_TEXTURE2D { $$ = $1; SetTextureSpecifier(&$$, TEXTURE_DIMENSION_2D); }
    | ZQSL_TEXTURE3D { $$ = $1; SetTextureSpecifier(&$$, TEXTURE_DIMENSION_3D); }
    | ZQSL_TEXTURECUBE { $$ = $1; SetTextureSpecifier(&$$, TEXTURE_DIMENSION_CUBE); }
    | struct_specifier
    | ZQSL_USER_TYPE { $$ = $1; SetStructSpecifier(&$$, $1.text, false); }
    ;

struct_specifier
    : ZQSL_STRUCT ZQSL_IDENTIFIER ZQSL_LEFT_BRACE struct_declaration_list ZQSL_RIGHT_BRACE
        { $$ = $1; $$.node = nullptr; ActionStructSpecifier(A, &$$, $2, $4.node); }
    ;

struct_declaration_list
    : struct_declaration
    | struct_declaration_list struct_declaration
        { $$ = $1; ActionAppendMembers($1.node, $2.node); }
    ;

struct_declaration
    : type_specifier struct_declarator_list ZQSL_SEMICOLON
        { $$ = $2; ActionStructDeclaration($1, $2.node); }
    ;

struct_declarator_list
    : struct_declarator { $$ = $1; $$.node = ActionNewBlock(A, $1.node); }
    | struct_declarator_list ZQSL_COMMA struct_declarator
        { $$ = $1; ActionAppendMembers($1.node, ActionNewBlock(A, $3.node)); }
    ;

struct_declarator
    : ZQSL_IDENTIFIER { $$ = $1; $$.node = ActionStructDeclarator(A, $1); }
    ;

initializer
    : assignment_expression
    ;

initializer_list
    : initializer { $$ = $1; $$.node = ActionNewBlock(A, $1.node); }
    | initializer_list ZQSL_COMMA initializer
        { $$ = $1; AppendChild(static_cast<DeclarationNode*>($1.node), $3.node); }
    ;

/* ---- Statements ---- */

declaration_statement
    : declaration { $$ = $1; ActionCheckDeclarationStatement(A, $1.node); }
    ;

statement
    : compound_statement
    | simple_statement
    ;

simple_statement
    : declaration_statement
    | expression_statement
    | selection_statement
    | iteration_statement
    | jump_statement
    ;

compound_statement
    : ZQSL_LEFT_BRACE ZQSL_RIGHT_BRACE { $$ = $1; $$.node = nullptr; }
    | ZQSL_LEFT_BRACE { ClearParserValue(&$$); PushScope(A); } statement_list ZQSL_RIGHT_BRACE
        { $$ = $1; $$.node = ActionBraced($3.node); PopScope(A); }
    ;

statement_no_new_scope
    : compound_statement_no_new_scope
    | simple_statement
    ;

statement_scoped
    : compound_statement
    | { ClearParserValue(&$$); PushScope(A); } simple_statement { $$ = $2; PopScope(A); }
    ;

compound_statement_no_new_scope
    : ZQSL_LEFT_BRACE ZQSL_RIGHT_BRACE { $$ = $1; $$.node = ActionEmptyBracedBlock(A); }
    | ZQSL_LEFT_BRACE statement_list ZQSL_RIGHT_BRACE { $$ = $1; $$.node = ActionBraced($2.node); }
    ;

statement_list
    : statement { $$ = $1; $$.node = ActionNewBlock(A, $1.node); }
    | statement_list statement
        { $$ = $1; AppendChild(static_cast<DeclarationNode*>($1.node), $2.node); }
    ;

expression_statement
    : ZQSL_SEMICOLON { $$ = $1; $$.node = nullptr; }
    | expression ZQSL_SEMICOLON
    ;

selection_statement
    : ZQSL_IF ZQSL_LEFT_PARENTHESIS expression ZQSL_RIGHT_PARENTHESIS selection_rest_statement
        { $$ = $1; $$.node = ActionIf(A, $3, $5.node, $5.extra, $1.position); }
    ;

selection_rest_statement
    : statement_scoped ZQSL_ELSE statement_scoped { $$ = $1; $$.extra = $3.node; }
    | statement_scoped { $$ = $1; $$.extra = nullptr; }
    ;

condition
    : expression
    | fully_specified_type ZQSL_IDENTIFIER ZQSL_EQUAL initializer
        { $$ = $1; $$.node = ActionConditionDeclaration(A, $1, $2, $4, $3.position); }
    ;

iteration_statement
    : ZQSL_WHILE ZQSL_LEFT_PARENTHESIS { ClearParserValue(&$$); PushScope(A); }
      condition ZQSL_RIGHT_PARENTHESIS statement_no_new_scope
        { $$ = $1;
          CheckBooleanCondition(A, $4.node, $4.position);
          $$.node = CreateLoop(A, LOOP_WHILE, nullptr, $4.node, nullptr, $6.node);
          PopScope(A); }
    | ZQSL_DO statement ZQSL_WHILE ZQSL_LEFT_PARENTHESIS expression ZQSL_RIGHT_PARENTHESIS ZQSL_SEMICOLON
        { $$ = $1;
          CheckBooleanCondition(A, $5.node, $5.position);
          $$.node = CreateLoop(A, LOOP_DO_WHILE, nullptr, $5.node, nullptr, $2.node); }
    | ZQSL_FOR ZQSL_LEFT_PARENTHESIS { ClearParserValue(&$$); PushScope(A); }
      for_init_statement for_rest_statement ZQSL_RIGHT_PARENTHESIS statement_no_new_scope
        { $$ = $1;
          $$.node = CreateLoop(A, LOOP_FOR, $4.node, $5.node, $5.extra, $7.node);
          PopScope(A); }
    ;

for_init_statement
    : expression_statement
    | declaration_statement
    ;

conditionopt
    : condition { $$ = $1; CheckBooleanCondition(A, $1.node, $1.position); }
    | %empty { ClearParserValue(&$$); }
    ;

for_rest_statement
    : conditionopt ZQSL_SEMICOLON { $$ = $1; $$.extra = nullptr; }
    | conditionopt ZQSL_SEMICOLON expression { $$ = $1; $$.extra = $3.node; }
    ;

jump_statement
    : ZQSL_CONTINUE ZQSL_SEMICOLON
        { $$ = $1; $$.node = ActionJump(A, STATEMENT_CONTINUE, nullptr, $1.position); }
    | ZQSL_BREAK ZQSL_SEMICOLON
        { $$ = $1; $$.node = ActionJump(A, STATEMENT_BREAK, nullptr, $1.position); }
    | ZQSL_RETURN ZQSL_SEMICOLON
        { $$ = $1; $$.node = ActionJump(A, STATEMENT_RETURN, nullptr, $1.position); }
    | ZQSL_RETURN expression ZQSL_SEMICOLON
        { $$ = $1; $$.node = ActionJump(A, STATEMENT_RETURN, $2.node, $1.position); }
    | ZQSL_DISCARD ZQSL_SEMICOLON
        { $$ = $1; $$.node = ActionJump(A, STATEMENT_DISCARD, nullptr, $1.position); }
    ;

/* ---- Translation unit ---- */

translation_unit
    : external_declaration { $$ = $1; ActionExternalDeclaration(A, $1.node, true); }
    | translation_unit external_declaration { $$ = $1; ActionExternalDeclaration(A, $2.node, false); }
    ;

external_declaration
    : function_definition
    | declaration
    ;

function_definition
    : function_prototype { ClearParserValue(&$$); BeginFunctionDefinition(A, static_cast<Symbol*>($1.node)); }
      compound_statement_no_new_scope
        { $$ = $1; EndFunctionDefinition(A, static_cast<Symbol*>($1.node), $3.node); }
    ;

%%

namespace ShaderTool {

namespace {

// Grammar terminals of the tokenizer codes 256 to 347; ZQSLUNDEF where a code has none.
const int kTerminals[] = {
    ZQSL_BOOL, ZQSL_FLOAT, ZQSL_FLOAT2, ZQSL_FLOAT2X2, ZQSL_FLOAT3, ZQSL_FLOAT3X3, ZQSL_FLOAT4,
    ZQSL_FLOAT4X4, ZQSL_INT, ZQSL_INT2, ZQSL_INT3, ZQSL_INT4, ZQSL_UINT, ZQSL_UINT2, ZQSL_UINT3,
    ZQSL_UINT4, ZQSL_VOID,                                                      /* 256-272 */
    ZQSL_TEXTURE2D, ZQSL_TEXTURE3D, ZQSL_TEXTURECUBE, ZQSL_USER_TYPE,           /* 273-276 */
    ZQSL_BREAK, ZQSL_CONST, ZQSL_CONTINUE, ZQSL_DISCARD, ZQSL_DO, ZQSL_ELSE, ZQSL_FOR, ZQSL_IF,
    ZQSL_RETURN, ZQSL_STRUCT, ZQSL_WHILE,                                       /* 277-287 */
    ZQSLUNDEF, ZQSLUNDEF, ZQSLUNDEF, ZQSLUNDEF, ZQSLUNDEF, ZQSLUNDEF,           /* 288-293 */
    ZQSL_BOOL_CONSTANT, ZQSL_FLOAT_CONSTANT, ZQSL_IDENTIFIER, ZQSL_INT_CONSTANT, /* 294-297 */
    ZQSLUNDEF, ZQSL_UINT_CONSTANT,                                              /* 298-299 */
    ZQSL_AMPERSAND, ZQSL_CARET, ZQSL_DECREASE_OP, ZQSL_INCREASE_OP, ZQSL_GREATER_THAN_EQUAL_OP,
    ZQSL_LEFT_SHIFT_OP, ZQSL_LESS_THAN_EQUAL_OP, ZQSL_EQUAL_OP, ZQSL_NOT_EQUAL_OP,
    ZQSL_LOGICAL_AND_OP, ZQSL_LOGICAL_OR_OP, ZQSL_RIGHT_SHIFT_OP, ZQSL_VERTICAL_BAR, /* 300-312 */
    ZQSL_ASSIGN_ADD, ZQSL_ASSIGN_AND, ZQSL_ASSIGN_DIVIDE, ZQSL_ASSIGN_LEFT_SHIFT,
    ZQSL_ASSIGN_MODULO, ZQSL_ASSIGN_MULTIPLY, ZQSL_ASSIGN_OR, ZQSL_ASSIGN_RIGHT_SHIFT,
    ZQSL_ASSIGN_SUBTRACT, ZQSL_ASSIGN_XOR,                                      /* 313-322 */
    ZQSLUNDEF,                                                                  /* 323 */
    ZQSL_ASTERISK, ZQSL_COLON, ZQSL_COMMA, ZQSL_DASH, ZQSL_EQUAL, ZQSL_EXCLAMATION,
    ZQSL_PERCENT, ZQSL_PERIOD,                                                  /* 324-331 */
    ZQSLUNDEF,                                                                  /* 332 */
    ZQSL_PLUS, ZQSL_QUESTION, ZQSL_SEMICOLON, ZQSL_SLASH, ZQSL_TILDE, ZQSL_LEFT_BRACE,
    ZQSL_LEFT_BRACKET, ZQSL_LEFT_CHEVRON, ZQSL_LEFT_PARENTHESIS, ZQSL_RIGHT_BRACE,
    ZQSL_RIGHT_BRACKET, ZQSL_RIGHT_CHEVRON, ZQSL_RIGHT_PARENTHESIS,             /* 333-345 */
    ZQSLUNDEF,                                                                  /* 346 */
    ZQSL_RESERVED,                                                              /* 347 */
};

int TerminalOfCode(int32_t code) {
    if (code == TOKEN_END_OF_TEXT) {
        return ZQSLEOF;
    }
    const int32_t count = static_cast<int32_t>(sizeof(kTerminals) / sizeof(kTerminals[0]));
    if (code < TOKEN_BOOL || code >= TOKEN_BOOL + count) {
        return ZQSLUNDEF;  /* stray characters, string literals, "no token" */
    }
    return kTerminals[code - TOKEN_BOOL];
}

}  // namespace

int NextParserToken(ParserValue* value, SemanticAnalyzer* analyzer) {
    ClearParserValue(value);
    Token token;
    token.Clear();
    analyzer->tokenizer.NextToken(token);
    value->position.column = token.column;
    value->position.line = token.line;
    strncpy(value->text, token.text, TOKEN_TEXT_MAX);
    value->text[TOKEN_TEXT_MAX] = '\0';
    return TerminalOfCode(token.code);
}

int ParseShader(SemanticAnalyzer& analyzer) {
    return zqslparse(&analyzer);
}

}  // namespace ShaderTool
