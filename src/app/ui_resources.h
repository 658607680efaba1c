// The one description of the dialog templates and the string table
// (resources/ui.json, compiled into the program), read by every dialog host
// and by the controllers.
#pragma once

#include <string>
#include <vector>

namespace kr35 {

enum class ControlKind { kPushButton, kStaticText, kEditBox };

struct ControlTemplate {
  int id = -1;  // -1: a control without an id
  ControlKind kind = ControlKind::kStaticText;
  std::string text;
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
  bool border = false;                      // edit boxes: bordered
  bool autoHScroll = false;                 // edit boxes: scroll horizontally
};

struct DialogTemplate {
  int id = 0;
  std::string title;
  int width = 0, height = 0;  // dialog units
  std::string fontName;
  int fontPointSize = 0;
  bool caption = false;                   // has a title bar
  bool systemMenu = false;                // has a system menu (and a close box)
  bool modalFrame = false;                // has the modal dialog frame
  std::vector<ControlTemplate> controls;  // in tab order
};

// The template with this id, or null.
const DialogTemplate* FindDialogTemplate(int id);
// The string with this id, or empty when there is none.
std::string LoadResourceString(int id);

}  // namespace kr35
