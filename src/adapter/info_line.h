// The dialog's info line as the transfer texts see it: a text member and
// the data exchange that pushes it into its control.
#pragma once

#include <string>

namespace kr35 {

class InfoLine {
 public:
  virtual ~InfoLine() = default;
  virtual void SetInfoText(const std::string& text) = 0;
  // Copies the text members into their controls (and repaints them at once).
  virtual void RefreshControls() = 0;
};

}  // namespace kr35
