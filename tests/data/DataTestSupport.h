// Shared helpers of the data manager tests: a fixture that records the data manager's messages
// and unloads what a test registered, and scratch files in a folder of the test run's own.
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

    // Writes bytes to a scratch file named name and returns its full path.
    std::string WriteScratchFile(const std::string& name, const std::string& bytes);
    std::string ScratchPath(const std::string& name) const;
    static std::string ReadFileBytes(const std::string& path);
};

// A database read from text in memory (the reader's messages go to the fixture).
bool LoadXMLText(DMDatabase& database, const std::string& text);
