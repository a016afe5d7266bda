// A test fixture for plug-in code running in the real host runtime: the
// runtime started once, the plug-in side's resolver set to the host's, the
// debug output captured line by line, and withheld services restored.
#pragma once

#include "resolver.h"

#include <Carbon/Carbon.h>
#include <rb/host.h>
#include <rb/runtime.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

class RealHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RuntimeInit();
        gResolver = rb::resolve;
    }
    void SetUp() override {
        log().clear();
        fw_set_debugstr_hook(&RealHostTest::capture, nullptr);
        rb::restoreServices();
    }
    void TearDown() override {
        fw_set_debugstr_hook(nullptr, nullptr);
        rb::restoreServices();
    }
    static std::vector<std::string> &log() {
        static std::vector<std::string> lines;
        return lines;
    }
    static int count(const std::string &line) {
        int n = 0;
        for (auto &l : log()) n += l == line;
        return n;
    }

private:
    static void capture(const char *text, size_t length, void *) { log().emplace_back(text, length); }
};
