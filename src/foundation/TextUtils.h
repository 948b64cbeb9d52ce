// Text utilities over C strings shared by the whole engine: fields of separated
// lists, feature-word tests, bounded replacement, suffix tests, hexadecimal colours and UTF-8 to
// UTF-32 conversion. They never throw; problems show in the result (null, false, 0).
#pragma once

#include <cstddef>
#include <cstdint>

// Field `index` (0 = first) of text split at the separator text, copied to out (outSize bytes
// with the NUL). Null for null text or separator, a missing field, or a field that does not fit.
char* ZQI_GetField(char* out, int32_t outSize, const char* text, const char* separator, int32_t index);
// The same with one separator character (NUL gives null). out is always taken as 512 bytes,
// whatever outSize says, so a field of 512 characters or more gives null.
char* ZQI_GetFieldByChar(char* out, int32_t outSize, const char* text, char separator, int32_t index);
// Field `index` of text split at the separator character, cut to size - 1 characters, into out
// (size bytes, at least 1); "" for null text or a missing field. Returns out.
const char* ZQI_CutField(const char* text, char separator, int32_t index, char* out, size_t size);
// True when word occurs in list delimited by the list's start or end, ' ', ',' or ';'.
bool ZQI_ListContainsWord(const char* list, const char* word);
// 0 for null text, null separator or empty text; else 1 + the non-overlapping separator
// occurrences (a trailing separator counts). An empty separator gives 1.
int32_t ZQI_CountFields(const char* text, const char* separator);
// Copies text to out and replaces search by replacement left to right (never re-searching an
// inserted replacement). Null for null text or out or outSize < 1; out untouched when text does
// not fit; stops before a lengthening replacement that would not fit. Null replacement = "".
char* ZQI_ReplaceAll(const char* text, const char* search, const char* replacement, char* out,
                     int32_t outSize);
// Case-sensitive prefix test; false for null arguments.
bool ZQI_StartsWith(const char* text, const char* prefix);
// Case-sensitive suffix test; false for null arguments or a suffix longer than the text.
bool ZQI_EndsWith(const char* text, const char* suffix);
// A malloc'd copy of text (free it with free); null for null text or when out of memory.
char* ZQI_DuplicateText(const char* text);
// ASCII comparison without regard to case (A-Z and a-z only); false for null arguments.
bool ZQI_EqualsIgnoreCase(const char* a, const char* b);
// Parses "#RRGGBB" or "#RRGGBBAA" ('#' optional, either case, a non-digit counts as 0) into
// colour[0..3] as byte * 0.003921569; alpha 1.0 without AA. Fewer than 6 digits: unchanged.
void ZQI_ParseHexColor(float colour[4], const char* text);
// Decodes UTF-8 (up to the NUL, at most byteLength bytes) into a malloc'd array of code points
// ending with 0, which the caller frees. Continuation bytes are not validated; other bytes map
// to themselves. Null (after a level-2 popup) when the allocation fails.
uint32_t* ZQI_ConvertUTF8ToUTF32(const char* text, int32_t byteLength);
