#pragma once
// A Jex command link connected to the scripted Jex.
#include "sessions/CJexSocket.h"
#include "sessions/tests/CJexLinkAppHost.h"
#include "tests/support/CScriptedJex.h"
#include "sessions/tests/SessionRecorders.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using Lines = CScriptedJex::Lines;

class JexLinkFixture : public ::testing::Test
{
protected:
    // The offset in log-on lines follows the server clock, which earlier links may have moved.
    void SetUp() override;

    using Files = std::vector<std::pair<std::wstring, std::string>>;

    // Starts the scripted Jex with the files its script reads (and, given a data script, the data
    // link) and connects the link; true once the handshake is done.
    bool Connect(const std::string& script, const Files& files = {}, const std::string& dataScript = {});
    bool WaitForGreeting();
    // Closes our end and waits for the scripts to end; what the desktop sent on the command link.
    Lines Finish();

    // A text for the script: what is not printable ASCII as a Python escape.
    static std::string ScriptText(const std::wstring& text);
    static std::string Quoted(const std::wstring& text) { return "'" + ScriptText(text) + "'"; }

    CJexLinkAppHost m_app;
    CAnsweringBoxes m_boxes;
    CSessionCore* m_pCore = nullptr; // set before Connect when the link needs one
    std::unique_ptr<CScriptedJex> m_pJex;
    std::unique_ptr<CJexSocket> m_pLink;
};
