// Wildcard matching: a greedy scan that remembers the last "*" and retries from the next
// position of the name on a mismatch. This finds a match whenever trying every position after
// each "*" would, in time proportional to name length times pattern length, so long hostile
// patterns cannot make it explode.
#include "filesystem/Wildcard.h"

bool ZQI_MatchWildcard(const char* name, const char* pattern) {
    if (name == nullptr || pattern == nullptr) {
        return false;
    }
    const char* n = name;
    const char* p = pattern;
    const char* starPattern = nullptr;  // just after the last "*" seen
    const char* starName = nullptr;     // where the name resumes when that "*" takes one more
    while (*n != '\0') {
        if (*p == '*') {
            while (*p == '*') {
                ++p;
            }
            if (*p == '\0') {
                return true;  // a trailing "*" takes the rest of the name
            }
            starPattern = p;
            starName = n;
        } else if (*p == *n) {
            ++p;
            ++n;
        } else if (starPattern != nullptr) {
            p = starPattern;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (*p == '*') {
        ++p;
    }
    return *p == '\0';
}
