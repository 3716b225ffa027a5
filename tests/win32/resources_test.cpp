// The resources linked into the Windows programs (this test program gets the same ones
// as zelfix.exe): version information, icon, manifest.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/res/resource.h"
#include "platform/win32/wide.h"

namespace {

std::vector<unsigned char> OwnVersionInfo() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::vector<unsigned char> data(GetFileVersionInfoSizeW(path, nullptr));
  if (data.empty() || !GetFileVersionInfoW(path, 0, static_cast<DWORD>(data.size()), data.data())) {
    ADD_FAILURE() << "no version information";
    data.clear();
  }
  return data;
}

std::wstring VersionString(std::vector<unsigned char>& data, const std::wstring& block,
                           const std::wstring& name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring query = L"\\StringFileInfo\\" + block + L"\\" + name;
  if (data.empty() || !VerQueryValueW(data.data(), query.c_str(), &value, &length)) {
    return L"<missing>";
  }
  return std::wstring(static_cast<const wchar_t*>(value));
}

// Support reads the version and the site's address in Properties -> Details.
TEST(Resources, VersionInformationNamesTheVersionAndTheAddressInChineseAndEnglish) {
  std::vector<unsigned char> data = OwnVersionInfo();
  const std::wstring address = L"" ZELFIX_TEST_ADDRESS;
  EXPECT_EQ(VersionString(data, L"080404B0", L"FileDescription"),
            L"\u4FEE\u590DZEL\u670D\u52A1\u5668\u8FC1\u79FBIP\u5730\u5740\u51B2\u7A81 "
            L"(\u65B0\u5730\u5740 " +
                address + L")");
  EXPECT_EQ(VersionString(data, L"040904B0", L"FileDescription"),
            L"ZEL server address repair (new address " + address + L")");
  for (const wchar_t* block : {L"080404B0", L"040904B0"}) {
    SCOPED_TRACE(platform::win32::Narrow(block));
    EXPECT_EQ(VersionString(data, block, L"ProductName"), L"zelfix");
    EXPECT_EQ(VersionString(data, block, L"FileVersion"), L"" ZELFIX_TEST_VERSION);
    EXPECT_EQ(VersionString(data, block, L"ProductVersion"), L"" ZELFIX_TEST_VERSION);
    EXPECT_EQ(VersionString(data, block, L"TargetServerAddress"), address);
  }

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const WORD numbers[] = {ZELFIX_TEST_VERSION_NUMBERS};
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(numbers[1], numbers[0])));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(numbers[3], numbers[2])));
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  // Explorer picks the block from the translation list; Chinese comes first.
  DWORD* translations = nullptr;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translations), &length));
  ASSERT_GE(length, sizeof(DWORD));
  EXPECT_EQ(translations[0], static_cast<DWORD>(MAKELONG(0x0804, 1200)));
}

BOOL CALLBACK CollectIconGroup(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
  if (IS_INTRESOURCE(name)) {
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(
        static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)));
  }
  return TRUE;
}

TEST(Resources, TheIconIsTheFirstGroupWithSixteenColourImagesAtBothSizes) {
  std::vector<WORD> groups;
  EnumResourceNamesW(nullptr, RT_GROUP_ICON, &CollectIconGroup,
                     reinterpret_cast<LONG_PTR>(&groups));
  ASSERT_FALSE(groups.empty());
  EXPECT_EQ(*std::min_element(groups.begin(), groups.end()), ZELFIX_ICON_ID);

  const HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(ZELFIX_ICON_ID), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  auto* directory = static_cast<BYTE*>(LockResource(LoadResource(nullptr, group)));
  for (const int size : {16, 32}) {
    SCOPED_TRACE(size);
    const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
    const HRSRC image = FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_ICON);
    ASSERT_NE(image, nullptr);
    const auto* header =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, image)));
    EXPECT_EQ(header->biWidth, size);
    EXPECT_EQ(header->biHeight, 2 * size);  // the colours and the mask
    EXPECT_EQ(header->biBitCount, 4);
    const platform::win32::Icon icon(
        static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ZELFIX_ICON_ID),
                                      IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    EXPECT_NE(icon.get(), nullptr);
  }
}

TEST(Resources, ManifestAsksForAdministratorAndCommonControlsSix) {
  const HRSRC manifest =
      FindResourceW(nullptr, MAKEINTRESOURCEW(ZELFIX_MANIFEST_ID), MAKEINTRESOURCEW(24));
  ASSERT_NE(manifest, nullptr);
  const std::string text(static_cast<const char*>(LockResource(LoadResource(nullptr, manifest))),
                         SizeofResource(nullptr, manifest));
  EXPECT_NE(text.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(text.find("PerMonitorV2"), std::string::npos);
  EXPECT_NE(text.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), std::string::npos);  // 7

  // The loader took the manifest: common controls 6 come from the side-by-side store.
  // (Wine's copy reports version 5 from DllGetVersion, so the path is what tells.)
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), path, MAX_PATH);
  std::wstring loaded(path);
  std::transform(loaded.begin(), loaded.end(), loaded.begin(), std::towlower);
  EXPECT_NE(loaded.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."),
            std::wstring::npos)
      << platform::win32::Narrow(loaded);
}

}  // namespace
