// What the translation fuzz targets share: every target that has a translator, output files in
// memory (mem://), and one translation captured whole so that two runs can be compared.
#pragma once

#include <map>
#include <string>

#include "shadertool/CompileDriver.h"

namespace TranslationFuzz {

// The targets the shader tool can write, each set up once with output to mem://fuzz-out/.
ShaderTool::TargetFlags SetUpTargets();

struct Capture {
    bool result = false;
    std::string log;
    std::map<std::string, std::string> files;  // output files by name
    std::string stageBuffers[ShaderTool::STAGE_COUNT];
    uint32_t producedStages = 0;

    bool operator==(const Capture& other) const {
        return result == other.result && log == other.log && files == other.files &&
               producedStages == other.producedStages &&
               std::equal(stageBuffers, stageBuffers + 5, other.stageBuffers);
    }
};

// Translates the description the state holds (read beforehand) for targets, takes what the run
// produced, deletes its files and resets the state.
Capture TranslateAndCapture(const char* path, ShaderTool::TargetFlags targets);

// Aborts (a finding) when two runs of one input differ.
void RequireSame(const Capture& first, const Capture& second);

}  // namespace TranslationFuzz
