// What a dialog host drives: a controller bound to one dialog template.
#pragma once

#include "hid/dialog_queue.h"

namespace kr35 {

class DialogController {
 public:
  virtual ~DialogController() = default;
  virtual int TemplateId() const = 0;         // 129 or 136
  virtual bool OnDialogInit() = 0;            // after the window exists, before it is shown
  virtual void OnCommand(int controlId) = 0;  // a push button was clicked
  virtual void OnMessage(const DialogMessage& message) = 0;  // a queued message
};

}  // namespace kr35
