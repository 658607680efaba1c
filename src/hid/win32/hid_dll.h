// The hid.dll functions the backend calls. hid.dll is not one of the system's
// known DLLs, so it is not a static import (the program's folder would be
// searched first): it is loaded from System32 and its functions resolved once,
// at start-up; a missing one ends the program with the reason.
#pragma once

#include "hid/win32/windows_headers.h"

namespace kr35 {

struct HidDll {
  decltype(&::HidD_GetHidGuid) GetHidGuid = nullptr;
  decltype(&::HidD_GetAttributes) GetAttributes = nullptr;
  decltype(&::HidD_GetManufacturerString) GetManufacturerString = nullptr;
  decltype(&::HidD_GetProductString) GetProductString = nullptr;
  decltype(&::HidD_GetSerialNumberString) GetSerialNumberString = nullptr;
  decltype(&::HidD_GetPreparsedData) GetPreparsedData = nullptr;
  decltype(&::HidD_FreePreparsedData) FreePreparsedData = nullptr;
  decltype(&::HidP_GetCaps) GetCaps = nullptr;
  decltype(&::HidP_GetSpecificButtonCaps) GetSpecificButtonCaps = nullptr;
  decltype(&::HidP_GetSpecificValueCaps) GetSpecificValueCaps = nullptr;
  decltype(&::HidP_GetUsagesEx) GetUsagesEx = nullptr;
  decltype(&::HidP_GetUsageValueArray) GetUsageValueArray = nullptr;
  decltype(&::HidP_SetUsageValueArray) SetUsageValueArray = nullptr;
};

// The functions of the system's hid.dll.
const HidDll& Hid();

}  // namespace kr35
