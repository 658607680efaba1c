// kr35-download: the KR35 Hardware Download Utility as a Qt dialog.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/dialog_program.h"
#include "app/qt/missing_display.h"
#include "app/qt/qt_dialog_host.h"

int main(int argc, char** argv) {
  // Taken before QApplication removes the options it knows: in
  // "kr35-download -style saveasresfile" the parameter is "saveasresfile".
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  kr35::DialogProgram program;
  program.showText = [](const std::string& text, bool isError) {
    std::fputs(text.c_str(), isError ? stderr : stdout);
  };
  program.showNote = [](const std::string& text) { std::fputs(text.c_str(), stderr); };
  program.findWindowSystem = [&arguments] { return kr35::MissingDisplayText(arguments); };
  program.runOnHost = [&](kr35::DownloadApp& app, kr35::Clock& exchangeClock) {
    QApplication application(argc, argv);
    // Wayland finds the window's icon through the desktop entry of this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(KR35_APP_ID));
    kr35::QtDialogHost host(exchangeClock);
    app.StartUp(host);
  };
  return kr35::RunDialogProgram(arguments, program);
}
