// Names of compile targets, target groups, variants and stages.
#include "shadertool/TargetNames.h"

#include <cstring>

namespace ShaderTool {

namespace {

struct NamedBits {
    const char* name;
    uint32_t bits;
};

// Single targets first, then the groups; ParseTargetName accepts both.
const NamedBits kTargetNames[] = {
    {"ESSL20", TARGET_ESSL20}, {"ESSL30", TARGET_ESSL30}, {"GLSL21", TARGET_GLSL21},
    {"GLSL31", TARGET_GLSL31}, {"HLSL9", TARGET_HLSL9},   {"HLSL11", TARGET_HLSL11},
    {"HLSL12", TARGET_HLSL12}, {"PSSL", TARGET_PSSL},     {"SPIRV", TARGET_SPIRV},
    {"ESSL", TARGET_ESSL},     {"GLSL", TARGET_GLSL},     {"HLSL", TARGET_HLSL},
    {"ALL", TARGET_ALL},
};
const int32_t kSingleTargetCount = TARGET_COUNT;

const NamedBits kVariantNames[] = {
    {"HLSL11_DEFAULT", VARIANT_HLSL11_DEFAULT},
    {"HLSL11_LOW", VARIANT_HLSL11_LOW},
    {"HLSL11_XBOX", VARIANT_HLSL11_XBOX},
    {"HLSL12_DEFAULT", VARIANT_HLSL12_DEFAULT},
    {"HLSL12_XBOX_ONE", VARIANT_HLSL12_XBOX_ONE},
    {"HLSL12_XBOX_SX", VARIANT_HLSL12_XBOX_SX},
    {"PSSL_GNM", VARIANT_PSSL_GNM},
    {"PSSL_AGC", VARIANT_PSSL_AGC},
};

const char* const kStageNames[STAGE_COUNT] = {"vertex", "pixel", "rchit", "rgen", "rmiss"};

}  // namespace

TargetFlags ParseTargetName(const char* name) {
    if (name == nullptr) {
        return 0;
    }
    for (const NamedBits& entry : kTargetNames) {
        if (strcmp(entry.name, name) == 0) {
            return entry.bits;
        }
    }
    return 0;
}

const char* GetVariantName(VariantFlags variant) {
    for (const NamedBits& entry : kVariantNames) {
        if (entry.bits == variant) {
            return entry.name;
        }
    }
    return "";
}

const char* GetTargetName(TargetFlags target) {
    for (int32_t i = 0; i < kSingleTargetCount; ++i) {
        if (kTargetNames[i].bits == target) {
            return kTargetNames[i].name;
        }
    }
    return "";
}

const char* GetTargetGroupName(TargetFlags target) {
    switch (target) {
        case TARGET_ESSL20:
        case TARGET_ESSL30:
            return "ESSL";
        case TARGET_GLSL21:
        case TARGET_GLSL31:
            return "GLSL";
        case TARGET_HLSL9:
        case TARGET_HLSL11:
        case TARGET_HLSL12:
            return "HLSL";
        case TARGET_PSSL:
            return "PSSL";
        case TARGET_SPIRV:
            return "SPIRV";
        default:
            return "";
    }
}

const char* GetStageName(int32_t stage) {
    if (stage < 0 || stage >= STAGE_COUNT) {
        return "";
    }
    return kStageNames[stage];
}

}  // namespace ShaderTool
