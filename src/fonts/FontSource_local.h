// Reading values of a font source file; shared by the generator's files only.
#pragma once

#include <cstdint>

struct DMArray;
struct DMNode;

// The value of key in the node with that id of the settings array; null when absent.
const char* ZQI_FontSetting(const DMArray* settings, const char* nodeId, const char* key);
// A number, or a ratio "a/b" of two numbers; letters x and X are ignored ("2x", "1/2X").
// False when the text holds no number or the ratio divides by zero.
bool ZQI_ParseFontScale(const char* text, float* out);
// A float value of a node, else fallback.
float ZQI_NodeFloat(const DMNode* node, const char* key, float fallback);
// An integer value of a node (decimal), else fallback.
int32_t ZQI_NodeInt(const DMNode* node, const char* key, int32_t fallback);
// A pixel value as a 16-bit advance or offset, held to -32768..32767 (0 for NaN): a plain
// conversion of a float outside that range is undefined.
int16_t ZQI_SaturateToInt16(float value);
