// The run of a dialog program (kr35-download on Qt or on Win32) around its
// application object: --help and --version, the platform services chosen by
// the switches, the dialog, and keeping the simulated adapter's state.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/download_app.h"
#include "protocol/clock.h"

namespace kr35 {

// What differs between the dialog programs.
struct DialogProgram {
  // Shows a text outside the dialog: the usage, the version, an error.
  std::function<void(const std::string& text, bool isError)> showText;
  // Shows a remark that needs no answer; may be empty.
  std::function<void(const std::string& text)> showNote;
  // Builds the window system and its host, and runs the app's StartUp on it.
  // The host waits on `exchangeClock`, the platform services' clock.
  std::function<void(DownloadApp& app, Clock& exchangeClock)> runOnHost;
  // Empty when the window system can be reached; else why not and what to
  // do instead. May be empty (the window system is always there).
  std::function<std::string()> findWindowSystem;
};

// `arguments`: the command line after the program name, as the user typed
// it. Returns the program's exit status: 0; 1 when the simulated adapter's
// state cannot be kept; 2 for a usage error, unusable services or no window;
// 4 when the session's recording (--record) lost lines.
int RunDialogProgram(const std::vector<std::string>& arguments, const DialogProgram& program);

}  // namespace kr35
