// The engine API layout checks compiled as C++: the same assertions as the C build, so the two
// languages cannot drift apart.
#define ZQ_LAYOUT_SUMMARY_FUNCTION ZQ_ApiLayoutSummaryCpp
#include "ApiLayout.c"
