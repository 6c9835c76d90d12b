// Test fixture: every test gets its own machine folder (PAPYRINE_HOME) in a
// fresh temporary folder, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class MachineFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "papyrine-platform-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        home_ = pattern;
        ::setenv("PAPYRINE_HOME", home_.c_str(), 1);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(home_, ec);
        ::unsetenv("PAPYRINE_HOME");
    }
    const std::filesystem::path &home() const { return home_; }

private:
    std::filesystem::path home_;
};
