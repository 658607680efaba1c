// Reads the embedded resources/ui.json once into dialog templates and the
// string table. The description is compiled into the program, so a malformed
// entry is skipped rather than trusted.
#include "app/ui_resources.h"

#include <charconv>
#include <cstddef>
#include <map>
#include <string_view>
#include <system_error>

#include <nlohmann/json.hpp>

extern const unsigned char kr35_ui_json[];
extern const std::size_t kr35_ui_json_size;

namespace kr35 {
namespace {

using nlohmann::json;

struct UiResources {
  std::vector<DialogTemplate> dialogs;
  std::map<int, std::string> strings;
};

int IntOr(const json& object, const char* key, int fallback) {
  auto it = object.find(key);
  return it != object.end() && it->is_number_integer() ? it->get<int>() : fallback;
}

std::string StringOr(const json& object, const char* key) {
  auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool HasStyle(const json& object, std::string_view style) {
  auto it = object.find("styles");
  if (it == object.end() || !it->is_array()) return false;
  for (const json& entry : *it) {
    if (entry.is_string() && entry.get_ref<const std::string&>() == style) return true;
  }
  return false;
}

bool ParseKind(const std::string& name, ControlKind& kind) {
  if (name == "pushbutton") {
    kind = ControlKind::kPushButton;
  } else if (name == "static") {
    kind = ControlKind::kStaticText;
  } else if (name == "edit") {
    kind = ControlKind::kEditBox;
  } else {
    return false;
  }
  return true;
}

DialogTemplate ParseDialog(const json& entry) {
  DialogTemplate dialog;
  dialog.id = IntOr(entry, "id", 0);
  dialog.title = StringOr(entry, "title");
  dialog.width = IntOr(entry, "width", 0);
  dialog.height = IntOr(entry, "height", 0);
  if (auto font = entry.find("font"); font != entry.end() && font->is_object()) {
    dialog.fontName = StringOr(*font, "name");
    dialog.fontPointSize = IntOr(*font, "pointSize", 0);
  }
  dialog.caption = HasStyle(entry, "caption");
  dialog.systemMenu = HasStyle(entry, "sysmenu");
  dialog.modalFrame = HasStyle(entry, "modalframe");
  auto controls = entry.find("controls");
  if (controls == entry.end() || !controls->is_array()) return dialog;
  for (const json& item : *controls) {
    if (!item.is_object()) continue;
    ControlTemplate control;
    if (!ParseKind(StringOr(item, "kind"), control.kind)) continue;
    control.id = IntOr(item, "id", -1);
    control.text = StringOr(item, "text");
    control.x = IntOr(item, "x", 0);
    control.y = IntOr(item, "y", 0);
    control.width = IntOr(item, "width", 0);
    control.height = IntOr(item, "height", 0);
    control.border = HasStyle(item, "border");
    control.autoHScroll = HasStyle(item, "autohscroll");
    dialog.controls.push_back(std::move(control));
  }
  return dialog;
}

UiResources Parse() {
  UiResources resources;
  const json doc = json::parse(kr35_ui_json, kr35_ui_json + kr35_ui_json_size, nullptr,
                               /*allow_exceptions=*/false);
  if (!doc.is_object()) return resources;
  if (auto dialogs = doc.find("dialogs"); dialogs != doc.end() && dialogs->is_array()) {
    for (const json& entry : *dialogs) {
      if (entry.is_object()) resources.dialogs.push_back(ParseDialog(entry));
    }
  }
  if (auto strings = doc.find("strings"); strings != doc.end() && strings->is_object()) {
    for (const auto& [key, value] : strings->items()) {
      int id = 0;
      auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), id);
      if (error == std::errc() && end == key.data() + key.size() && value.is_string()) {
        resources.strings[id] = value.get<std::string>();
      }
    }
  }
  return resources;
}

const UiResources& Resources() {
  static const UiResources resources = Parse();
  return resources;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
  for (const DialogTemplate& dialog : Resources().dialogs) {
    if (dialog.id == id) return &dialog;
  }
  return nullptr;
}

std::string LoadResourceString(int id) {
  const auto& strings = Resources().strings;
  auto it = strings.find(id);
  return it == strings.end() ? std::string() : it->second;
}

}  // namespace kr35
