// Wildcard matching of names against patterns where "*" stands for any run of characters.
#pragma once

// True when the whole name matches the whole pattern: "*" matches any run of characters (also
// none; consecutive "*" act as one), every other character matches itself exactly (case
// matters). Null arguments never match.
bool ZQI_MatchWildcard(const char* name, const char* pattern);
