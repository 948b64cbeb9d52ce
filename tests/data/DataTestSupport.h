// Shared helpers of the data manager tests: a fixture that records the data manager's messages,
// and scratch files below res://, which the real file systems root in a folder of the test run's
// own (user:// and cache:// lie beside it), so every load and save goes through the file-system
// API as in the engine.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "data/DataManager.h"

// Records every popup and print of the data manager while a test runs.
class DataManagerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Texts of the level-1 popups raised so far.
    const std::vector<std::string>& Popups() const;
    // Texts of the developer prints raised so far.
    const std::vector<std::string>& Prints() const;
    // True when exactly one popup was raised and it contains part.
    bool OnlyPopupContains(const std::string& part) const;
    void ForgetMessages();

    // Writes bytes to the scratch file res://<name> (natively, folders made as needed) and
    // returns that virtual path.
    std::string WriteScratchFile(const std::string& name, const std::string& bytes);
    // "res://<name>"; the file need not exist.
    std::string ScratchPath(const std::string& name) const;
    // The bytes of a scratch file named by its res:// path, read natively; "" when missing.
    static std::string ReadFileBytes(const std::string& path);
};

// A database read from text in memory (the reader's messages go to the fixture).
bool LoadXMLText(DMDatabase& database, const std::string& text);

// The native folder behind res:// ("/" separators, no trailing "/").
std::string NativeResFolder();
