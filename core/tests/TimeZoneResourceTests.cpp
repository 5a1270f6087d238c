// The time-zone tables arrive in the program as a zip archive in resource FILE 11018.
#include <windows.h>
#include <gtest/gtest.h>
#include <string_view>

namespace
{
std::string_view ResourceBytes(int id, const wchar_t* type)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    return bytes ? std::string_view(static_cast<const char*>(bytes), SizeofResource(module, found)) : std::string_view{};
}
}  // namespace

TEST(TimeZoneResource, HoldsBothTablesAsZipEntries)
{
    const std::string_view zip = ResourceBytes(11018, L"FILE");
    ASSERT_GT(zip.size(), 1000u) << "resource FILE 11018 missing or too small";
    EXPECT_EQ(zip.substr(0, 4), std::string_view("PK\x03\x04", 4)) << "not a zip archive";
    // The central directory at the end names both entries.
    EXPECT_NE(zip.rfind("TimeTools_date_time_zonespec.csv"), std::string_view::npos);
    EXPECT_NE(zip.rfind("WindowsToIANA.csv"), std::string_view::npos);
}
