// A test of windows driven by the scripted operator: each starts with no
// answers given ahead and ends with every window closed and collected.
#pragma once

#include <rb/operator.h>
#include <rb/ui.h>

#include <gtest/gtest.h>

class OperatorTest : public ::testing::Test {
protected:
    void SetUp() override { rb::op::reset(); }
    void TearDown() override {
        for (rb::Window *w : rb::windows()) w->close();
        rb::collectClosedWindows();
        rb::op::reset();
    }
};
