// Gives each test a registry file of its own in a fresh temporary folder
// (Linux-only: the stand-in keeps its registry in the file OCULO_REGISTRY names).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/platform.h"

class RegistryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/oculo-registry-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
        m_file = m_folder + "/registry.reg";
        setenv("OCULO_REGISTRY", m_file.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("OCULO_REGISTRY");
        std::string command = "rm -rf '" + m_folder + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }

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
