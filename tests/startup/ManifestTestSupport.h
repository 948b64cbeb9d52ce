// Shared set-up of the manifest and package tests: the real file systems with res:// in a
// temporary folder, every message the reader can raise recorded, the core and the manifest
// reader back at their start-up defaults, and small builders of manifest documents.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "zorqa.h"

// ---- Manifest documents ----

typedef std::vector<std::pair<std::string, std::string>> Keys;

// <node id="id" key="value" .../>
std::string XmlNode(const std::string& id, const Keys& keys);
// <array id="id"> nodes </array>
std::string XmlArray(const std::string& id, const std::string& nodes);
// The prolog and <root> around the arrays.
std::string XmlDocument(const std::string& arrays);
// A manifest with a "PARAMETERS" array of the given nodes and a "VARIANTS" array of the others.
std::string ManifestWith(const std::string& parameterNodes, const std::string& variantNodes);

// ---- Fixture ----

struct RecordedMessage {
    int32_t level;
    std::string text;
};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a file below the res:// folder (folders made as needed), where the manifest reader
    // and the data manager find it through the file-system API. A database of that res:// name
    // that is still registered is unloaded, so the new contents are read.
    void WriteResFile(const std::string& relative, const std::string& bytes);
    void MakeResFolder(const std::string& relative);

    // Messages by the route they took.
    const std::vector<RecordedMessage>& DeveloperPopups() const;  // zq_api_t::Popup
    const std::vector<RecordedMessage>& Popups() const;           // the platform's message box
    const std::vector<std::string>& Prints() const;               // zq_api_t::Print
    const std::vector<RecordedMessage>& Logs() const;             // zq_api_t::Log
    void ForgetMessages();
    // Number of messages of that route whose text equals text exactly.
    static int32_t CountText(const std::vector<RecordedMessage>& messages, const std::string& text);
    static int32_t CountText(const std::vector<std::string>& messages, const std::string& text);

    // The search paths in priority order.
    static std::vector<std::string> SearchPaths();

    // Exit codes the reader asked for (the exit hook records instead of ending the process).
    const std::vector<int32_t>& ExitCodes() const;

    // The core's manifest record.
    static zq_program_t& Record();

private:
    std::string resFolder_;
    std::string tempFolder_;
};
