// Gives each test a registry of its own. On Linux the stand-in keeps the
// registry in the file OCULO_REGISTRY names: each test gets a fresh one in a
// folder of its own, which takes the file's lock and temporaries with it at
// the end. On Windows the tests meet the real registry: nothing is set up
// here, and a test that writes it restores what it found.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "platform/platform.h"

// Whether root\path exists.
inline bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

class RegistryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        std::string folder = ::testing::TempDir() + "oculo-registry-XXXXXX";
        ASSERT_NE(mkdtemp(&folder[0]), nullptr);
        m_folder = folder;
        m_file = m_folder + "/registry.reg";
        // Left set after the test: a late write lands in the test's folder,
        // never in the user's own registry.
        setenv("OCULO_REGISTRY", m_file.c_str(), 1);
#endif
    }
    void TearDown() override {
        if (m_folder.empty()) return;
        std::error_code error;
        std::filesystem::remove_all(m_folder, error);
        EXPECT_FALSE(error) << m_folder << ": " << error.message();
    }

    // The registry file's bytes, and replacing them (Linux only: m_file is
    // empty on Windows).
    std::string FileText() const {
        std::ifstream in(m_file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void WriteFile(const std::string& text) const { std::ofstream(m_file, std::ios::binary) << text; }

    std::string m_folder;
    std::string m_file;
};
