// The standard dialog on the Qt host and the simulated adapter, end to end:
// the buttons, the message boxes, the info line painted during a download
// while queued messages wait, and the window kept alive meanwhile.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <chrono>

#include "app/dialog_ids.h"
#include "app/qt/qt_dialog_host.h"
#include "app/standard_dialog.h"
#include "app/ui_resources.h"
#include "message_box_answerer.h"
#include "mixer/sim/sim_mixer.h"
#include "sim/sim_hid_backend.h"
#include "slow_adapter_rig.h"

namespace kr35 {
namespace {

// Counts the paints of a widget and the texts it had when painted.
class PaintRecorder : public QObject {
 public:
  explicit PaintRecorder(QLabel* label) : label_(label) { label->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) texts.push_back(label_->text());
    return false;
  }
  QStringList texts;

 private:
  QLabel* label_;
};

class RecordingStandardDialog : public StandardDialog {
 public:
  using StandardDialog::StandardDialog;
  void OnMessage(const DialogMessage& message) override {
    if (message.message == WM_HID_EVENT) {
      infoAtHidEvent.push_back(InfoText());
      hidUsages.push_back(message.lParam);
    }
    StandardDialog::OnMessage(message);
  }
  void OnCommand(int controlId) override {
    commands.push_back(controlId);
    StandardDialog::OnCommand(controlId);
  }
  std::vector<std::string> infoAtHidEvent;  // the info text when each button event arrived
  std::vector<std::intptr_t> hidUsages;
  std::vector<int> commands;
};

// Notes how long after `Ask` the watched widget is painted. The widget must
// not be a parent of the info line, whose repaints would paint it too.
class PaintDelay : public QObject {
 public:
  explicit PaintDelay(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
  // Asks for a paint as an expose from the window system would.
  void Ask() {
    delayMs = -1;
    sinceAsked_.start();
    widget_->update();
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && sinceAsked_.isValid() && delayMs < 0) {
      delayMs = sinceAsked_.elapsed();
    }
    return false;
  }
  qint64 delayMs = -1;

 private:
  QWidget* widget_;
  QElapsedTimer sinceAsked_;
};

}  // namespace

class StandardDownloadTest : public QObject {
  Q_OBJECT

 private slots:
  void downloadsThroughTheDialog() {
    Scenario quick;  // no report latency: the test is about the dialog, not the wire
    quick.hid.latencyMs = 0;
    quick.hid.restartMs = 10;
    SimHidBackend hid(quick);
    SimMixer mixer(DefaultSimMixers());
    QtDialogHost host;
    RecordingStandardDialog dialog(host, {hid, &hid.Notifications(), mixer});

    QStringList infoAtBox;
    std::unique_ptr<PaintRecorder> paints;
    MessageBoxAnswerer boxes([&](QMessageBox&, int count) {
      infoAtBox << QString::fromStdString(host.GetControlText(kInfoLine));
      // Confirmed: from here the download blocks the GUI thread. A button
      // event posted now must wait until the download has ended.
      if (count == 1) host.Post({WM_HID_EVENT, 0x0C, 0xE9});
    });

    std::string versionLine, availableLine, infoAtStart;
    bool downloadEnabled = false;
    QTimer::singleShot(0, [&] {
      versionLine = host.GetControlText(kVersionLine);
      availableLine = host.GetControlText(kAvailableVersionsLine);
      infoAtStart = host.GetControlText(kInfoLine);
      downloadEnabled = host.Control(kDownloadButton)->isEnabled();
      paints = std::make_unique<PaintRecorder>(qobject_cast<QLabel*>(host.Control(kInfoLine)));
      qobject_cast<QPushButton*>(host.Control(kDownloadButton))->click();
      host.Window()->reject();
    });
    host.RunModal(dialog);

    QVERIFY2(versionLine.rfind("USB ", 0) == 0, versionLine.c_str());
    QVERIFY(downloadEnabled);
    QVERIFY(QString::fromStdString(availableLine)
                .startsWith("Firmware versions available for download: USB 0104, DSP 0107 \n"));
    QCOMPARE(infoAtStart, std::string());

    QCOMPARE(boxes.stuck, 0);
    QCOMPARE(boxes.texts,
             (QStringList{QString::fromStdString(LoadResourceString(kConfirmDownloadString)),
                          QString::fromStdString(LoadResourceString(kDownloadSucceededString))}));
    QCOMPARE(infoAtBox.back(), QStringLiteral("100 percent"));
    // The info line was painted with many progress texts during the download.
    QVERIFY2(paints->texts.size() > 10, qPrintable(QString::number(paints->texts.size())));
    QVERIFY(paints->texts.contains(QStringLiteral("100 percent")));
    // The button event posted when the download was confirmed arrived in a
    // message box's loop or later, never inside the transfers: message boxes
    // are the one place that dispatches messages while a command runs.
    QCOMPARE(dialog.infoAtHidEvent.size(), std::size_t{1});
    const std::string& info = dialog.infoAtHidEvent.front();
    QVERIFY2(info.empty() || info == "100 percent", info.c_str());
  }

  // With 5 ms per report a download takes several seconds. Meanwhile the
  // window is painted when asked, takes no input, and posted button events
  // wait until the download has ended.
  void keepsTheWindowAliveDuringADownload() {
    SlowAdapterRig rig;
    QtDialogHost& host = rig.host;
    RecordingStandardDialog dialog(host, rig.environment);

    std::unique_ptr<PaintDelay> paint;
    bool inputDuringDownload = false;
    std::chrono::nanoseconds longestGap{0};
    int boxCount = 0;
    auto duringDownload = [&] {
      inputDuringDownload = boxCount == 1;  // confirmed, not yet ended
      QWidget* window = host.Window();
      QTest::mouseClick(host.Control(kVersionButton), Qt::LeftButton);
      QTest::keyClick(window, Qt::Key_Return);
      QTest::keyClick(window, Qt::Key_Escape);
      window->close();
      host.Post({WM_HID_EVENT, 0x0C, 0xE9});
      host.Post({WM_HID_EVENT, 0x0C, 0xEA});
      host.Post({WM_HID_EVENT, 0x0C, 0x01});
      paint->Ask();
    };
    MessageBoxAnswerer boxes([&](QMessageBox&, int count) {
      boxCount = count;
      if (count == 1) {
        host.WaitClock().ResetLongestGap();
        QTimer::singleShot(300, duringDownload);
      } else {
        longestGap = host.WaitClock().LongestGap();
      }
    });
    // The start-up's version query takes turns too: wait for the modal run.
    std::function<void()> start = [&] {
      if (!host.Window()->isVisible()) {
        QTimer::singleShot(1, start);
        return;
      }
      paint = std::make_unique<PaintDelay>(host.Control(kVersionButton));
      qobject_cast<QPushButton*>(host.Control(kDownloadButton))->click();
      QVERIFY(host.Window()->isVisible());  // neither Escape nor the close request ended it
      host.Window()->reject();
    };
    QTimer::singleShot(0, start);
    host.RunModal(dialog);

    QCOMPARE(boxes.stuck, 0);
    QCOMPARE(boxes.texts.size(), 2);
    QCOMPARE(boxes.texts.back(),
             QString::fromStdString(LoadResourceString(kDownloadSucceededString)));
    QVERIFY(inputDuringDownload);
    QCOMPARE(dialog.commands, std::vector<int>{kDownloadButton});
    QCOMPARE(dialog.hidUsages, (std::vector<std::intptr_t>{0xE9, 0xEA, 0x01}));
    for (const std::string& info : dialog.infoAtHidEvent)
      QCOMPARE(info, std::string("100 percent"));
    qInfo("expose painted after %lld ms; longest event-loop gap during the download: %.1f ms",
          static_cast<long long>(paint->delayMs),
          std::chrono::duration<double, std::milli>(longestGap).count());
    QVERIFY(paint->delayMs >= 0);
    QVERIFY2(paint->delayMs <= 100, qPrintable(QString::number(paint->delayMs)));
  }
};

}  // namespace kr35

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  kr35::StandardDownloadTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "standard_download_test.moc"
