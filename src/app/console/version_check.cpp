#include "app/console/version_check.h"

#include <string>

#include "app/firmware_notice.h"

namespace kr35 {
namespace {}  // namespace

bool CheckInstalledVersions(const ResponseFrame& lastResponse, const std::string& restartFailure,
                            EventPrinter& printer) {
  const InstalledVersions builtInVersions = BuiltInVersions();
  const unsigned builtInUsb = builtInVersions.usb;
  const unsigned builtInDsp = builtInVersions.dsp;
  const std::string builtIn = VersionsText(builtInVersions);
  std::string fields = "\"builtInUsb\":" + std::to_string(builtInUsb) +
                       ",\"builtInDsp\":" + std::to_string(builtInDsp);
  const std::optional<InstalledVersions> installedVersions = DecodeVersions(lastResponse);
  if (!installedVersions) {
    const std::string failure = restartFailure.empty()
                                    ? "the adapter did not report its versions after its restart"
                                    : restartFailure;
    printer.PrintWithFields("verify", failure + "; built-in images " + builtIn,
                            fields + ",\"installedUsb\":null,\"installedDsp\":null");
    return false;
  }
  const unsigned usb = installedVersions->usb;
  const unsigned dsp = installedVersions->dsp;
  const std::string installed = VersionsText(*installedVersions);
  fields += ",\"installedUsb\":" + std::to_string(usb) + ",\"installedDsp\":" + std::to_string(dsp);
  const bool match = usb == builtInUsb && dsp == builtInDsp;
  printer.PrintWithFields("verify",
                          match ? "installed " + installed + " as built in"
                                : "installed " + installed + " differs from built-in " + builtIn,
                          fields);
  return match;
}

}  // namespace kr35
