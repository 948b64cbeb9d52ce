// Colour words of the drawing files: the zq_vertex_t colour, bytes B, G, R, A in memory.
#pragma once

#include <cstdint>

// A channel times 255, truncated to a byte (not clamped: the byte keeps the low 8 bits; values
// beyond the integers saturate first).
uint8_t ZQI_ChannelByte(float channel);
// The word of r, g, b, a.
uint32_t ZQI_ColourWord(const float* rgba);
// The word of the current colour and alpha.
uint32_t ZQI_CurrentColourWord();
