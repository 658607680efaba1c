#include "hid/adapter_claim.h"

#include "hid/printable_text.h"

namespace kr35 {

std::string BusyText(const ClaimHolder& holder) {
  std::string who = holder.program.empty() ? "another program" : EscapeDeviceText(holder.program);
  if (holder.pid > 0) who += " (pid " + std::to_string(holder.pid) + ")";
  return "the adapter is busy: " + who + " is using it";
}

}  // namespace kr35
