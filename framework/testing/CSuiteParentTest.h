#pragma once
#include "framework/testing/CRecordingParent.h"
#include <gtest/gtest.h>
// A test fixture with one recording parent window for the whole suite: under Wine without a window
// manager, taking a visible top-level window off the screen waits two seconds for a window manager
// that never answers, so a parent per test would cost that each time. Each test starts with the
// parent's record cleared; a fixture that overrides SetUp calls this one first.
class CSuiteParentTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_parent = new CRecordingParent;
        ASSERT_TRUE(s_parent->Create());
    }
    static void TearDownTestSuite()
    {
        delete s_parent;
        s_parent = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(s_parent, nullptr);
        m_parent.Clear();
    }

    static inline CRecordingParent* s_parent = nullptr;
    CRecordingParent& m_parent = *s_parent;
};
