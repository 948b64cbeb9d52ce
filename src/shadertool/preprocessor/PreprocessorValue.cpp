// Preprocessor values: construction, number conversion and the text written into the output.
#include "shadertool/preprocessor/PreprocessorValue.h"

#include <cstdlib>
#include <cstring>

namespace ShaderTool {

PreprocessorValue::PreprocessorValue() : intNumber(0), column(0), line(0), kind(PP_VALUE_INT) {
    text[0] = '\0';
}

PreprocessorValue PreprocessorValue::Int(int32_t number) {
    PreprocessorValue value;
    value.intNumber = number;
    return value;
}

PreprocessorValue PreprocessorValue::Float(float number) {
    PreprocessorValue value;
    value.kind = PP_VALUE_FLOAT;
    value.floatNumber = number;
    return value;
}

PreprocessorValue PreprocessorValue::Text(const char* source, int32_t length) {
    PreprocessorValue value;
    value.kind = PP_VALUE_TEXT;
    if (source == nullptr || length < 0) {
        length = 0;
    }
    if (length > PP_VALUE_TEXT_MAX) {
        length = PP_VALUE_TEXT_MAX;
    }
    if (length > 0) {
        memcpy(value.text, source, static_cast<size_t>(length));
    }
    value.text[length] = '\0';
    value.intNumber = length;
    return value;
}

PreprocessorValue PreprocessorValue::Text(const char* source) {
    return Text(source, source != nullptr ? static_cast<int32_t>(strnlen(source, PP_VALUE_TEXT_MAX + 1)) : 0);
}

PreprocessorValue PreprocessorValue::WithPosition(int32_t column_, int32_t line_) const {
    PreprocessorValue value = *this;
    value.column = column_;
    value.line = line_;
    return value;
}

bool PreprocessorValue::IsNonZero() const {
    if (kind == PP_VALUE_FLOAT) {
        return floatNumber != 0.0f;
    }
    if (kind == PP_VALUE_INT) {
        return intNumber != 0;
    }
    return false;
}

float PreprocessorValue::AsFloat() const {
    if (kind == PP_VALUE_FLOAT) {
        return floatNumber;
    }
    if (kind == PP_VALUE_INT) {
        return static_cast<float>(intNumber);
    }
    return 0.0f;
}

String PreprocessorValue::FormatText() const {
    if (kind == PP_VALUE_FLOAT) {
        return String::FromFormat("%f", static_cast<double>(floatNumber));
    }
    if (kind == PP_VALUE_INT) {
        return String::FromFormat("%i", static_cast<int>(intNumber));
    }
    return String(text);
}

PreprocessorDefinition::PreprocessorDefinition(const char* name_, const PreprocessorValue& value_,
                                               bool isString_)
    : name(name_), value(value_), isString(isString_ ? 1 : 0) {}

const PreprocessorDefinition RayFlagConstants[RAY_FLAG_CONSTANT_COUNT] = {
    {"RAY_FLAGS_NONE", PreprocessorValue::Int(0), false},
    {"RAY_FLAGS_OPAQUE", PreprocessorValue::Int(1), false},
    {"RAY_FLAGS_NO_OPAQUE", PreprocessorValue::Int(2), false},
    {"RAY_FLAGS_TERMINATE_ON_FIRST_HIT", PreprocessorValue::Int(4), false},
    {"RAY_FLAGS_SKIP_CLOSEST_HIT_SHADER", PreprocessorValue::Int(8), false},
    {"RAY_FLAGS_CULL_BACK_FACING_TRIANGLES", PreprocessorValue::Int(16), false},
    {"RAY_FLAGS_CULL_FRONT_FACING_TRIANGLES", PreprocessorValue::Int(32), false},
    {"RAY_FLAGS_CULL_OPAQUE", PreprocessorValue::Int(64), false},
    {"RAY_FLAGS_CULL_NO_OPAQUE", PreprocessorValue::Int(128), false},
};

int32_t ParseLeadingDecimal(const char* text) {
    uint32_t number = 0;
    if (text == nullptr) {
        return 0;
    }
    for (const char* c = text; *c >= '0' && *c <= '9'; ++c) {
        number = number * 10u + static_cast<uint32_t>(*c - '0');
    }
    return static_cast<int32_t>(number);
}

float ParseLeadingFloat(const char* text) {
    if (text == nullptr) {
        return 0.0f;
    }
    // strtof rather than a narrowed strtod: out-of-range texts give infinity, never an
    // unrepresentable conversion.
    return strtof(text, nullptr);
}

}  // namespace ShaderTool
