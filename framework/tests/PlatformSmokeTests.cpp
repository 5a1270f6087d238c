// Proves the harness itself: Winsock notifications through a window, CryptoAPI's RC4 and
// a type library built by widl all work as the system expects them to under this build.
#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>
#include <oleauto.h>
#include "framework/CHandleOwner.h"
#include <gtest/gtest.h>
#include "SmokeTypeLib.h"
#include <array>
#include <chrono>
#include <string>
#include <vector>

namespace
{
constexpr UINT WM_APP_SOCKET = WM_APP + 1;  // wParam: socket; lParam: event and error

// Records every socket notification that reaches a message-only window.
struct SocketEvents
{
    struct Event { SOCKET s; WORD event; WORD error; };
    std::vector<Event> events;
    std::string received;
    SOCKET reader = INVALID_SOCKET;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<SocketEvents*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_APP_SOCKET && self)
        {
            const auto s = static_cast<SOCKET>(wParam);
            self->events.push_back({s, WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam)});
            if (WSAGETSELECTEVENT(lParam) == FD_READ && s == self->reader)
            {
                char buf[256];
                const int n = recv(s, buf, sizeof buf, 0);
                if (n > 0) self->received.append(buf, n);
            }
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    bool Seen(SOCKET s, WORD event) const
    {
        for (const auto& e : events)
            if (e.s == s && e.event == event) return true;
        return false;
    }
};

void PumpFor(std::chrono::milliseconds limit, auto done)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end)
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// RC4 as published, written independently of CryptoAPI
std::vector<BYTE> Rc4Stream(const std::vector<BYTE>& key, size_t length)
{
    std::array<BYTE, 256> s{};
    for (int i = 0; i < 256; ++i) s[i] = static_cast<BYTE>(i);
    for (int i = 0, j = 0; i < 256; ++i)
    {
        j = (j + s[i] + key[i % key.size()]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    std::vector<BYTE> out(length);
    for (size_t n = 0, i = 0, j = 0; n < length; ++n)
    {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        out[n] = s[(s[i] + s[j]) & 0xFF];
    }
    return out;
}
}  // namespace

TEST(PlatformSmoke, SocketsExchangeDataThroughWindowNotifications)
{
    WSADATA data{};
    const CWinsockStartup wsa(WSAStartup(MAKEWORD(2, 2), &data) == 0);
    ASSERT_TRUE(wsa.IsValid());

    SocketEvents record;
    WNDCLASSW wc{};
    wc.lpfnWndProc = &SocketEvents::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LumoSmokeSocketWindow";
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&record));

    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(listener, INVALID_SOCKET);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    int len = sizeof addr;
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    ASSERT_EQ(WSAAsyncSelect(listener, hwnd, WM_APP_SOCKET, FD_ACCEPT), 0);

    SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(client, INVALID_SOCKET);
    ASSERT_EQ(WSAAsyncSelect(client, hwnd, WM_APP_SOCKET, FD_CONNECT | FD_WRITE | FD_CLOSE), 0);
    const int rc = connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ASSERT_TRUE(rc == 0 || WSAGetLastError() == WSAEWOULDBLOCK);

    PumpFor(std::chrono::seconds(5), [&] { return record.Seen(listener, FD_ACCEPT) && record.Seen(client, FD_CONNECT); });
    ASSERT_TRUE(record.Seen(listener, FD_ACCEPT)) << "no FD_ACCEPT on the listener";
    ASSERT_TRUE(record.Seen(client, FD_CONNECT)) << "no FD_CONNECT on the client";

    record.reader = accept(listener, nullptr, nullptr);
    ASSERT_NE(record.reader, INVALID_SOCKET);
    ASSERT_EQ(WSAAsyncSelect(record.reader, hwnd, WM_APP_SOCKET, FD_READ | FD_CLOSE), 0);

    const std::string text = "STATUS\t1\r\n";
    ASSERT_EQ(send(client, text.data(), static_cast<int>(text.size()), 0), static_cast<int>(text.size()));
    PumpFor(std::chrono::seconds(5), [&] { return record.received.size() >= text.size(); });
    EXPECT_EQ(record.received, text);

    closesocket(client);
    PumpFor(std::chrono::seconds(5), [&] { return record.Seen(record.reader, FD_CLOSE); });
    EXPECT_TRUE(record.Seen(record.reader, FD_CLOSE)) << "peer close not notified";

    closesocket(record.reader);
    closesocket(listener);
    DestroyWindow(hwnd);
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

TEST(PlatformSmoke, CryptoApiRc4FromMd5EqualsIndependentRc4)
{
    HCRYPTPROV prov = 0;
    ASSERT_TRUE(CryptAcquireContextW(&prov, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    HCRYPTHASH hash = 0;
    ASSERT_TRUE(CryptCreateHash(prov, CALG_MD5, 0, 0, &hash));
    const char phrase[] = "smoke pass phrase";
    ASSERT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>(phrase), sizeof phrase - 1, 0));

    std::vector<BYTE> digest(16);
    DWORD digestLen = static_cast<DWORD>(digest.size());
    ASSERT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &digestLen, 0));
    ASSERT_EQ(digestLen, 16u);

    // 128-bit key, no salt: the key bytes are exactly the MD5 digest
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptDeriveKey(prov, CALG_RC4, hash, (128u << 16) | CRYPT_NO_SALT, &key));
    std::vector<BYTE> stream(4096, 0);
    DWORD n = static_cast<DWORD>(stream.size());
    ASSERT_TRUE(CryptEncrypt(key, 0, FALSE, 0, stream.data(), &n, n));
    EXPECT_EQ(stream, Rc4Stream(digest, stream.size()));

    CryptDestroyKey(key);
    CryptDestroyHash(hash);
    CryptReleaseContext(prov, 0);
}

TEST(PlatformSmoke, TypeLibraryBuiltByWidlLoadsFromResource)
{
    wchar_t path[MAX_PATH];
    ASSERT_NE(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadTypeLibEx(path, REGKIND_NONE, &lib), S_OK);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(lib->GetTypeInfoOfGuid(IID_ISmokeProbe, &info), S_OK);
    if (info)
    {
        BSTR name = nullptr;
        EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
        EXPECT_STREQ(name, L"ISmokeProbe");
        SysFreeString(name);
        info->Release();
    }
    lib->Release();
}
