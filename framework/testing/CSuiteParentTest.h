#pragma once
#include "framework/testing/CRecordingParent.h"
#include <gtest/gtest.h>
// A test fixture with one recording parent window for the whole suite: under Wine without a window
// manager, taking a visible top-level window off the screen waits two seconds for a window manager
// that never answers, so a parent per test would cost that each time. Each test starts with the
// parent's record cleared; a fixture that overrides SetUp (or the suite's set-up and tear-down)
// calls this one's first. TParent is CRecordingParent or a class of the test's own made from it.
template <class TParent = CRecordingParent, int nWidth = 400, int nHeight = 300>
class CSuiteParentTestOf : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_parent = new TParent;
        ASSERT_TRUE(s_parent->Create(nWidth, nHeight));
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

    static inline TParent* s_parent = nullptr;
    TParent& m_parent = *s_parent;
};
using CSuiteParentTest = CSuiteParentTestOf<>;
