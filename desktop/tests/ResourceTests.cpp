// Every resource of Lumo.exe that its windows and messages load, by the id they load it by: a
// missing or renamed one fails here by its id.
#include "desktop/LumoResource.h"
#include "framework/CString.h"
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>

namespace
{
struct TextCase
{
    UINT nId;
    const wchar_t* text;
};
// The texts as the program must show them.
const TextCase kTexts[] = {
    {32786, L"Mute Speakers"},
    {32787, L"Mute Microphone"},
    {57344, L"LUMO"},
    {61101, L"&About Lumo..."},
    {61102, L"There is a new version available:\n   current installed setup version: %s\n   new setup version: "
            L"%s\n\nUpdate now?"},
    {61103, L"Windows sockets initialization failed."},
    {61104, L"Queue time"},
    {61105, L"Sender"},
    {61106, L"Destination"},
    {61107, L"Type"},
    {61109, L"Status"},
    {61110, L"Queue"},
    {61111, L"Speech"},
    {61112, L"Transfer"},
    {61113, L"End"},
    {61114, L"Scenario"},
    {61115, L"Hang up"},
    {61116, L"No answer"},
    {61117, L"Overflow on no members"},
    {61118, L"Overflow on queue full"},
    {61119, L"Overflow on no qualified members"},
    {61120, L"Message recording"},
    {61121, L"Inbound connecting"},
    {61122, L"Ringing to outbound party"},
    {61123, L"Task"},
    {61124, L"Task & speech"},
    {61125, L"Agent busy"},
    {61126, L"Agent no answer"},
    {61127, L"Processing fax"},
    {61128, L"Transfer backtalk"},
    {61129, L"End task"},
    {61130, L"Coverage"},
    {61131, L"Agent paused overflow"},
    {61150, L"On hold"},
    {61151, L"Call"},
    {61152, L"Send message"},
    {61153, L"Exit"},
    {61154, L"No response from Jex [%s:%d] (Error %d: %s)"},
    {61155, L"Waiting for Jex [%s:%d]"},
    {61156, L"Surname"},
    {61157, L"Firstname"},
    {61158, L"Invalid password"},
    {61159, L"New entered passwords are different"},
    {61160, L"Invalid old password"},
    {61161, L"Invalid new password"},
    {61162, L"Cannot open script %ld because a timeout occured while waiting on Jex to send the script"},
    {61163, L"Lost connection. Do you want to reconnect ?"},
    {61164, L"Connection refused by JEX"},
    {61166, L"Busy"},
    {61167, L"Manual call"},
    {61168, L"Maximum overflows reached"},
    {61176, L"Call end"},
    {61180, L"Transfer ok"},
    {61183, L"Are you sure you want to exit ?"},
    {61195, L"Transfer cancelled"},
    {61204, L"Lumo - "},
    {61205, L"Location is already occupied"},
    {61206, L"Location doesn't exist"},
    {61211, L"No response from Jex"},
    {61218, L"Anonymise call"},
    {61224, L"Group"},
    {61225, L"Entering Number"},
    {61226, L"Wrong number"},
    {61230, L"Total time"},
    {61239, L"Agent has tried to log on and received : "},
    {61240, L"Unable to locate remote host (check registry)"},
    {61246, L"Manual Call"},
    {61251, L"No free channel available"},
    {61252, L"Next Call"},
    {61258, L"Start/end pause"},
    {61259, L"You are not allowed to send a message"},
    {61260, L"All calls must be on hold !"},
    {61263, L"Still calls on hold !!!"},
    {61265, L"Take back"},
    {61266, L"Take call"},
    {61267, L"End call"},
    {61268, L"Transfer to"},
    {61269, L"Record"},
    {61270, L"Priority call"},
    {61271, L"Stopping all scripts."},
    {61272, L"Error while using audio controls"},
    {61286, L"There is no Zandrel connected at the moment, please try later again..."},
    {61287, L"In conference"},
    {61288, L"Inbound group"},
    {61294, L"Connecting automatic outbound"},
    {61340, L"Unknown error"},
    {62797, L"The version of LUMO (v %s) is different from the version of JEX (v %s) you are trying to connect to.\nTo "
            L"avoid any problems please upgrade LUMO to version %s or higher"},
    {62798, L"Cannot open script %ld because the checksum was not valid.  This error might be caused by a lost or bad "
            L"network connection."},
    {62800, L"Warning: you should only exit when your state is ready or when you are in pause!\nAre you sure you want "
            L"to exit?"},
    {62801, L"End Contact"},
    {62802, L"Task Start"},
    {62819, L"Update failed!\nError: '%s'."},
    {62820, L"An unexpected error occurred while retrieving the update."},
    {63832, L"Please Disable Windows FireWall to work with the SoftPhone!"},
    {63833, L"There is no agent with NT Account '%s' configured on Jex.\nLumo will now be closed."},
    {63835, L"Sound device is not available anymore"},
    {63836, L"Agent does not exist"},
    {63837, L"A Supervisor with the same name is connected to another location. "},
    {63838, L"An agent is already connected with this name."},
    {63839, L"Maximum number of connected agents reached."},
    {63841, L"There is still a call in speech. Do you want to end this call?"},
    {63845, L"Connection refused: Agent doesn't have the permission to log on!"},
    {63846, L"Call Acknowledge"},
    {63847, L"Call Result Acknowledge"},
    {63849, L"Location Incompatible"},
    {63850, L"External Dialler Error"},
    {63855, L"Could not load Tessaly_Opal.ocx"},
    {63856, L"There is a new version available:\n   current setup version: %s\n   new setup version: %s"},
    {63859, L"No location available"},
    {63861, L"Find contact for Task %s"},
    {63866, L"Login"},
};

TEST(LumoResources, EveryTextIsThereWordForWord)
{
    for (const TextCase& c : kTexts)
    {
        SCOPED_TRACE(testing::Message() << "string " << c.nId);
        CString text;
        EXPECT_TRUE(text.LoadString(c.nId));
        EXPECT_EQ(std::wstring(static_cast<LPCWSTR>(text)), c.text);
    }
    CString madeUp;
    EXPECT_TRUE(madeUp.LoadString(63860)) << "the contact search's information text";
    EXPECT_FALSE(madeUp.IsEmpty());
}

TEST(LumoResources, EveryDialogIconBitmapMenuAndSoundLoads)
{
    const HINSTANCE hInst = ::GetModuleHandleW(nullptr);
    for (UINT nId : {IDD_LUMO_DIALOG, IDD_LOGIN, IDD_CHANGE_PASSWORD, IDD_CONNECTION, IDD_PASSWORD, IDD_PROGRESS,
                     IDD_APPLICATION_TOOLBAR, IDD_AGENT_LOCATION})
        EXPECT_NE(::FindResourceW(hInst, MAKEINTRESOURCEW(nId), RT_DIALOG), nullptr) << "dialog " << nId;

    for (UINT nId : {128, 200, 198, 132, 204, 129, 208, 202, 203, 227, 228, 131, 209,
                     199, 207, 133, 206, 134, 205, 255, 256, 281, 282, 283, 273})
    {
        const HANDLE hIcon = ::LoadImageW(hInst, MAKEINTRESOURCEW(nId), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
        EXPECT_NE(hIcon, nullptr) << "icon " << nId;
        if (hIcon) ::DestroyIcon(static_cast<HICON>(hIcon));
    }

    for (UINT nId :
         {269, 103, 268, 270, 280, 272, 138, 271, 275, 140, 274, 277, 189, 276, 279, 135, 278, 142, 191, 192, 193, 288})
    {
        const HANDLE hBitmap = ::LoadImageW(hInst, MAKEINTRESOURCEW(nId), IMAGE_BITMAP, 0, 0, 0);
        EXPECT_NE(hBitmap, nullptr) << "bitmap " << nId;
        if (hBitmap) ::DeleteObject(hBitmap);
    }

    const HMENU hMenu = ::LoadMenuW(hInst, MAKEINTRESOURCEW(IDR_CALL_MENU));
    ASSERT_NE(hMenu, nullptr) << "menu 186";
    const HMENU hCallInfo = ::GetSubMenu(hMenu, 0);
    wchar_t name[32] = L"";
    ::GetMenuStringW(hMenu, 0, name, 32, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(name), L"CallInfo");
    const std::pair<UINT, const wchar_t*> items[] = {
        {32773, L"&On Hold"},     {32775, L"&Record"},   {32776, L"&Take Back"}, {32774, L"Trans&fer"},
        {32778, L"Transfer &To"}, {32779, L"&End Task"}, {32780, L"End &Call"},  {32781, L"Take &Call"},
    };
    for (const auto& [nId, text] : items)
    {
        wchar_t shown[32] = L"";
        EXPECT_GT(::GetMenuStringW(hCallInfo, nId, shown, 32, MF_BYCOMMAND), 0) << "menu item " << nId;
        EXPECT_EQ(std::wstring(shown), text);
    }
    ::DestroyMenu(hMenu);

    for (LPCWSTR pszSound : std::initializer_list<LPCWSTR>{L"DTMF", L"PHONERINGS", MAKEINTRESOURCEW(IDR_RING_TONE)})
    {
        const std::wstring name = IS_INTRESOURCE(pszSound) ? L"285" : pszSound;
        SCOPED_TRACE(testing::Message() << "sound " << testing::PrintToString(name));
        const HRSRC hRes = ::FindResourceW(hInst, pszSound, L"WAVE");
        ASSERT_NE(hRes, nullptr);
        const auto* pBytes = static_cast<const char*>(::LockResource(::LoadResource(hInst, hRes)));
        ASSERT_NE(pBytes, nullptr);
        EXPECT_EQ(std::string(pBytes, 4), "RIFF");
        EXPECT_EQ(std::string(pBytes + 8, 4), "WAVE");
    }

    const HRSRC hManifest = ::FindResourceW(hInst, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(hManifest, nullptr) << "the common-controls manifest";
    const auto* pManifest = static_cast<const char*>(::LockResource(::LoadResource(hInst, hManifest)));
    const std::string manifest(pManifest, ::SizeofResource(hInst, hManifest));
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
}
} // namespace
