// kr35-download.exe: the KR35 Hardware Download Utility as a Win32 dialog.
// kr35-download [--simulate[=SCENARIO]] [--sim-trace=FILE] [--sim-state=FILE] [PARAMETER]
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/dialog_program.h"
#include "app/win32/program_arguments.h"
#include "app/win32/win32_dialog_host.h"
#include "services/platform_services.h"
#include "win32/utf16.h"

namespace {

// A GUI program has a standard output only when started with one (redirected,
// or from a console that passes it on); otherwise the text goes into a box.
void ShowText(const std::string& text, bool isError) {
  HANDLE out = GetStdHandle(isError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN) {
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  MessageBoxW(nullptr, kr35::Utf16FromUtf8(text).c_str(),
              kr35::Utf16FromUtf8(kr35::Win32DialogHost::ApplicationName()).c_str(),
              isError ? MB_ICONSTOP : MB_ICONINFORMATION);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The wide command line, so arguments are UTF-8 like every other text.
  const std::string commandLine = kr35::Utf8FromUtf16(GetCommandLineW());
  const std::vector<std::string> arguments =
      kr35::SplitCommandLine(kr35::ArgumentsAfterProgramName(commandLine));
  kr35::DialogProgram program;
  program.showText = ShowText;
  program.runOnHost = [instance](kr35::DownloadApp& app, kr35::Clock& exchangeClock) {
    kr35::Win32DialogHost host(instance, exchangeClock);
    app.StartUp(host);
  };
  return kr35::RunDialogProgram(arguments, program);
}
