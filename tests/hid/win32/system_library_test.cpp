// Functions of system DLLs, loaded from System32 only, and the reason given
// when one cannot be used.
#include "win32/system_library.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kr35 {
namespace {

TEST(SystemLibrary, ResolvesEveryFunctionOrNamesWhatIsMissing) {
  struct Case {
    const wchar_t* dll;
    std::vector<const char*> names;
    std::string error;  // empty: every function resolves; otherwise how it starts
  };
  const Case cases[] = {
      {L"hid.dll", {"HidD_GetHidGuid", "HidP_GetCaps"}, ""},
      {L"winmm.dll", {"mixerGetNumDevs", "mixerGetDevCapsW"}, ""},
      {L"kernel32.dll",
       {"GetTickCount", "NoSuchFunction"},
       "the system's kernel32.dll has no function NoSuchFunction"},
      // Not in System32: a DLL of that name anywhere else is never looked at.
      {L"kr35-no-such.dll", {"Anything"}, "cannot load kr35-no-such.dll from the system folder: "},
  };
  for (const Case& c : cases) {
    std::vector<void (*)()> slots(c.names.size(), nullptr);
    std::vector<SystemFunction> functions;
    for (std::size_t i = 0; i < c.names.size(); ++i) functions.push_back({c.names[i], &slots[i]});
    const std::string error = LoadSystemFunctions(c.dll, functions);
    if (c.error.empty()) {
      EXPECT_EQ(error, "");
      for (auto* slot : slots) EXPECT_NE(slot, nullptr);
    } else {
      EXPECT_EQ(error.substr(0, c.error.size()), c.error) << error;
    }
  }
}

}  // namespace
}  // namespace kr35
