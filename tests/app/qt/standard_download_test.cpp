// The standard dialog on the Qt host and the simulated adapter, end to end:
// the buttons, the message boxes, and the info line painted during a download
// while queued messages wait.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/dialog_ids.h"
#include "app/qt/qt_dialog_host.h"
#include "app/standard_dialog.h"
#include "app/ui_resources.h"
#include "mixer/sim/sim_mixer.h"
#include "sim/sim_hid_backend.h"

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

QMessageBox* ActiveMessageBox() {
  return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

class RecordingStandardDialog : public StandardDialog {
 public:
  using StandardDialog::StandardDialog;
  void OnMessage(const DialogMessage& message) override {
    if (message.message == WM_HID_EVENT) infoAtHidEvent.push_back(InfoText());
    StandardDialog::OnMessage(message);
  }
  std::vector<std::string> infoAtHidEvent;  // the info text when each button event arrived
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

    QStringList boxes;
    QStringList infoAtBox;
    std::unique_ptr<PaintRecorder> paints;
    std::function<void()> answerBoxes = [&] {
      QMessageBox* box = ActiveMessageBox();
      if (box == nullptr) {
        QTimer::singleShot(0, answerBoxes);
        return;
      }
      boxes << box->text();
      infoAtBox << QString::fromStdString(host.GetControlText(kInfoLine));
      if (boxes.size() == 1) {
        // Confirmed: from here the download blocks the GUI thread. A button
        // event posted now must wait until the download has ended.
        host.Post({WM_HID_EVENT, 0x0C, 0xE9});
        QTimer::singleShot(0, answerBoxes);
      }
      box->button(QMessageBox::Ok)->click();
    };

    std::string versionLine, availableLine, infoAtStart;
    bool downloadEnabled = false;
    QTimer::singleShot(0, [&] {
      versionLine = host.GetControlText(kVersionLine);
      availableLine = host.GetControlText(kAvailableVersionsLine);
      infoAtStart = host.GetControlText(kInfoLine);
      downloadEnabled = host.Control(kDownloadButton)->isEnabled();
      paints = std::make_unique<PaintRecorder>(qobject_cast<QLabel*>(host.Control(kInfoLine)));
      QTimer::singleShot(0, answerBoxes);
      qobject_cast<QPushButton*>(host.Control(kDownloadButton))->click();
      host.Window()->reject();
    });
    host.RunModal(dialog);

    QVERIFY2(versionLine.rfind("USB ", 0) == 0, versionLine.c_str());
    QVERIFY(downloadEnabled);
    QVERIFY(QString::fromStdString(availableLine)
                .startsWith("Firmware versions available for download: USB 0104, DSP 0107 \n"));
    QCOMPARE(infoAtStart, std::string());

    QCOMPARE(boxes,
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
};

}  // namespace kr35

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  kr35::StandardDownloadTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "standard_download_test.moc"
