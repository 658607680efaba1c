// What Windows reads from the shipped programs before they run: the
// application manifest and the version resource of kr35ctl.exe and
// kr35-download.exe, read back from the built files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hid/win32/windows_headers.h"
#include "win32/utf16.h"

namespace kr35 {
namespace {

struct Program {
  const char* fileName;
  const char* path;
};

const Program kPrograms[] = {{"kr35ctl.exe", KR35_CTL_EXE},
                             {"kr35-download.exe", KR35_DOWNLOAD_EXE}};

class ShippedProgram : public testing::TestWithParam<Program> {};

std::string Manifest(const char* path) {
  HMODULE module = LoadLibraryExW(Utf16FromUtf8(path).c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return {};
  std::string text;
  if (HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
    if (HGLOBAL loaded = LoadResource(module, resource)) {
      text.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, resource));
    }
  }
  FreeLibrary(module);
  return text;
}

std::string VersionValue(const char* path, const char* name) {
  const std::wstring file = Utf16FromUtf8(path);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  std::vector<char> info(size);
  if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, info.data())) return {};
  const std::wstring key = L"\\StringFileInfo\\040904b0\\" + Utf16FromUtf8(name);
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return {};
  }
  return Utf8FromUtf16(std::wstring(value, wcsnlen(value, length)));
}

TEST_P(ShippedProgram, ManifestDeclaresStylesLevelSystemsDpiAndCodePage) {
  const std::string manifest = Manifest(GetParam().path);
  ASSERT_FALSE(manifest.empty()) << GetParam().path << " has no manifest";
  for (const char* expected : {
           R"(name="KR35.DownloadUtility" version=")" KR35_PROJECT_VERSION R"(.0")",
           R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
           R"(level="asInvoker")",
           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
           ">PerMonitorV2, System</dpiAwareness>",
           ">true</dpiAware>",
           ">UTF-8</activeCodePage>",
       }) {
    EXPECT_NE(manifest.find(expected), std::string::npos) << "missing: " << expected;
  }
}

TEST_P(ShippedProgram, VersionResourceNamesProductVersionMakerAndFile) {
  const char* path = GetParam().path;
  EXPECT_EQ(VersionValue(path, "ProductName"), "KR35 Hardware Download Utility");
  EXPECT_EQ(VersionValue(path, "ProductVersion"), KR35_PROJECT_VERSION);
  EXPECT_EQ(VersionValue(path, "FileVersion"), KR35_PROJECT_VERSION);
  EXPECT_EQ(VersionValue(path, "CompanyName"), "The KR35 Download Utility authors");
  EXPECT_NE(VersionValue(path, "LegalCopyright").find("Copyright"), std::string::npos);
  EXPECT_EQ(VersionValue(path, "OriginalFilename"), GetParam().fileName);
}

INSTANTIATE_TEST_SUITE_P(Programs, ShippedProgram, testing::ValuesIn(kPrograms),
                         [](const testing::TestParamInfo<Program>& info) {
                           return std::string(info.param.fileName).substr(0, 7) == "kr35ctl"
                                      ? std::string("kr35ctl")
                                      : std::string("kr35download");
                         });

}  // namespace
}  // namespace kr35
