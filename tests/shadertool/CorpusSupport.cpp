// Shared support of the corpus tests (see CorpusSupport.h).
#include "CorpusSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "shadertool/ShaderType.h"
#include "shadertool/TargetNames.h"

namespace fs = std::filesystem;

namespace ShaderToolTest {

fs::path CorpusDirectory(const char* name) {
    return fs::path(__FILE__).parent_path() / "corpus" / name;
}

std::vector<std::string> CorpusInputs(const fs::path& folder,
                                      const std::function<bool(const fs::path&)>& accept) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.is_regular_file() && accept(entry.path())) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

int32_t StageOfExtension(const std::string& extension) {
    for (int32_t stage = 0; stage < ShaderTool::STAGE_COUNT; ++stage) {
        if (extension == std::string(".") + ShaderTool::GetStageName(stage)) {
            return stage;
        }
    }
    return -1;
}

bool ReadFile(const fs::path& path, std::string* text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::stringstream buffer;
    buffer << file.rdbuf();
    *text = buffer.str();
    return true;
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
}

bool UpdatingExpected() {
    const char* update = std::getenv("ZQ_UPDATE_EXPECTED");
    return update != nullptr && std::string(update) == "1";
}

void ExpectMatchesFile(const fs::path& path, const std::string& actual) {
    if (UpdatingExpected()) {
        WriteFile(path, actual);
        return;
    }
    std::string expected;
    ASSERT_TRUE(ReadFile(path, &expected)) << "missing expected file " << path.string();
    EXPECT_EQ(expected, actual) << "for " << path.filename().string();
}

std::string CorpusTestName(const std::string& parameter) {
    std::string name;
    for (char c : parameter) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

}  // namespace ShaderToolTest
