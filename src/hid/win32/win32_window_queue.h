// A dialog queue that is a window: the Win32 dialog host's queue implements
// it, so device notices are registered on the dialog's own window and
// WM_DEVICECHANGE reaches its window procedure, which hands it on to the
// controller as a DialogMessage.
#pragma once

#include "hid/dialog_queue.h"
#include "hid/win32/windows_headers.h"

namespace kr35 {

class Win32WindowQueue : public DialogQueue {
 public:
  // The window that receives the notices; null while there is none.
  virtual HWND Window() = 0;
};

}  // namespace kr35
