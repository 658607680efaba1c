#include "hid/win32/hid_dll.h"

#include "win32/system_library.h"

namespace kr35 {
namespace {

HidDll LoadHidDll() {
  HidDll hid;
  const SystemFunction functions[] = {
      Resolve("HidD_GetHidGuid", hid.GetHidGuid),
      Resolve("HidD_GetAttributes", hid.GetAttributes),
      Resolve("HidD_GetManufacturerString", hid.GetManufacturerString),
      Resolve("HidD_GetProductString", hid.GetProductString),
      Resolve("HidD_GetSerialNumberString", hid.GetSerialNumberString),
      Resolve("HidD_GetPreparsedData", hid.GetPreparsedData),
      Resolve("HidD_FreePreparsedData", hid.FreePreparsedData),
      Resolve("HidP_GetCaps", hid.GetCaps),
      Resolve("HidP_GetSpecificButtonCaps", hid.GetSpecificButtonCaps),
      Resolve("HidP_GetSpecificValueCaps", hid.GetSpecificValueCaps),
      Resolve("HidP_GetUsagesEx", hid.GetUsagesEx),
      Resolve("HidP_GetUsageValueArray", hid.GetUsageValueArray),
      Resolve("HidP_SetUsageValueArray", hid.SetUsageValueArray),
  };
  LoadSystemFunctionsOrExit(L"hid.dll", functions);
  return hid;
}

// Resolved during start-up, after the DLL search is restricted to System32
// (priority 101) and before the program's own static objects.
__attribute__((init_priority(110))) const HidDll hidDll = LoadHidDll();

}  // namespace

const HidDll& Hid() {
  return hidDll;
}

}  // namespace kr35
