// Values of preprocessor definitions and directive expressions, the definition record, and the
// ray-flag constants that ray-tracing stages see as predefined names.
#pragma once

#include <cstdint>

#include "foundation/String.h"

namespace ShaderTool {

enum PreprocessorValueKind : int32_t {
    PP_VALUE_FLOAT = 0,
    PP_VALUE_INT = 1,
    PP_VALUE_TEXT = 2,  // a name, a string's content or a raw text
};

enum { PP_VALUE_TEXT_MAX = 128 };  // characters a text value keeps; longer texts are cut

struct PreprocessorValue {
    union {
        float floatNumber;  // kind float
        int32_t intNumber;  // kind int; for kind text the text length
    };
    char text[PP_VALUE_TEXT_MAX + 1];  // kind text
    int32_t column;                    // source position of the token the value came from (for messages)
    int32_t line;
    int32_t kind;  // PreprocessorValueKind

    // The zero value, used for undefined names and after errors: int 0.
    PreprocessorValue();

    static PreprocessorValue Int(int32_t number);
    static PreprocessorValue Float(float number);
    // A text value of the first `length` characters of text (at most PP_VALUE_TEXT_MAX kept).
    static PreprocessorValue Text(const char* text, int32_t length);
    static PreprocessorValue Text(const char* text);

    bool IsText() const { return kind == PP_VALUE_TEXT; }
    // A copy that carries the given source position.
    PreprocessorValue WithPosition(int32_t column, int32_t line) const;
    // Whether a numeric value differs from 0 (or 0.0); text counts as 0.
    bool IsNonZero() const;
    // The number as a float (ints converted).
    float AsFloat() const;
    // The value as substituted into the output and listed: float "%f", int "%i", text as is.
    String FormatText() const;
};

struct PreprocessorDefinition {
    String name;
    PreprocessorValue value;
    uint8_t isString;  // the value is a string, written with double quotes when substituted

    PreprocessorDefinition() : isString(0) {}
    PreprocessorDefinition(const char* name, const PreprocessorValue& value, bool isString);
};

enum { RAY_FLAG_CONSTANT_COUNT = 9 };

// "RAY_FLAGS_NONE" 0 .. "RAY_FLAGS_CULL_NO_OPAQUE" 128, int values, in registration order.
// Built once at program start.
extern const PreprocessorDefinition RayFlagConstants[RAY_FLAG_CONSTANT_COUNT];

// The integer of the text's leading decimal digits (32-bit, wrapping); 0 when there are none.
int32_t ParseLeadingDecimal(const char* text);
// The float of the text up to the first character that cannot continue a number.
float ParseLeadingFloat(const char* text);

}  // namespace ShaderTool
