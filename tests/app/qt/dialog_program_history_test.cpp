// kr35-download (the Qt program around its dialog) on the offscreen platform
// and the simulated adapter: a standard and a FULL download each leave a
// begin and an end in the history named by --history.
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "app/dialog_ids.h"
#include "app/dialog_program.h"
#include "app/qt/qt_dialog_host.h"
#include "firmware/intel_hex_writer.h"
#include "message_box_answerer.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;

class DialogProgramHistoryTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ =
        fs::temp_directory_path() / ("kr35_qt_history_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void cleanup() { fs::remove_all(dir_); }

  void standardAndFullDownloadsAreRecorded_data() {
    QTest::addColumn<bool>("full");
    QTest::newRow("standard") << false;
    QTest::newRow("FULL") << true;
  }
  void standardAndFullDownloadsAreRecorded() {
    QFETCH(bool, full);
    const fs::path history = dir_ / "history.jsonl";
    std::vector<std::string> arguments = {"--simulate", "--history=" + history.string()};
    std::string dspHex, usbHex;
    if (full) {
      arguments.push_back("full");
      std::vector<std::uint8_t> dsp = {0xAA, 0x55};  // dropped by the conversion
      dsp.resize(2 + 300, 0x11);
      dspHex = Write("dsp.hex", WriteIntelHex(dsp));
      usbHex = Write("usb.hex", WriteIntelHex(std::vector<std::uint8_t>(64, 0x22)));
    }
    DialogProgram program;
    std::string texts;
    program.showText = [&](const std::string& text, bool) { texts += text; };
    program.runOnHost = [&](DownloadApp& app, Clock& clock) {
      QtDialogHost host(clock);
      MessageBoxAnswerer boxes;
      // Once the dialog runs (its start-up takes turns of the event loop
      // before): the download, then the dialog is closed.
      bool clicked = false;
      QTimer driver;
      QObject::connect(&driver, &QTimer::timeout, [&] {
        if (!host.Window() || !host.Window()->isVisible()) return;
        if (!clicked) {
          clicked = true;
          if (full) {
            host.SetControlText(kDspPathBox, dspHex);
            host.SetControlText(kUsbPathBox, usbHex);
          }
          qobject_cast<QPushButton*>(host.Control(kDownloadButton))->click();
        }
        host.Window()->reject();
      });
      driver.start(50);
      app.StartUp(host);
    };
    QCOMPARE(RunDialogProgram(arguments, program), 0);

    std::ifstream in(history);
    std::vector<nlohmann::json> records;
    for (std::string line; std::getline(in, line);) records.push_back(nlohmann::json::parse(line));
    QVERIFY2(records.size() >= 2, texts.c_str());
    QCOMPARE(records[0]["record"], "begin");
    QCOMPARE(records[0]["program"], "kr35-download");
    QCOMPARE(records[0]["images"].size(), std::size_t{2});
    QCOMPARE(records[0]["images"][0]["source"], full ? "hex" : "builtin");
    if (full) QCOMPARE(records[0]["images"][1]["path"], usbHex);
    QCOMPARE(records[1]["record"], "end");
    QCOMPARE(records[1]["outcome"], "done");
    QCOMPARE(records[1]["id"], records[0]["id"]);
  }

 private:
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name) << text;
    return (dir_ / name).string();
  }

  fs::path dir_;
};

}  // namespace
}  // namespace kr35

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  kr35::DialogProgramHistoryTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "dialog_program_history_test.moc"
