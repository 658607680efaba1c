// The standard dialog on a real X server (Xvfb), downloading from the
// simulated adapter with 5 ms per report. Meanwhile another client clicks
// Version and maps a window over the dialog and takes it away again: the
// dialog must be repainted on the screen soon after, the info line must keep
// counting, and the click must change nothing.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/dialog_ids.h"
#include "app/standard_dialog.h"
#include "message_box_answerer.h"
#include "slow_adapter_rig.h"
#include "x_screen_probe.h"

namespace kr35 {
namespace {

using Steady = std::chrono::steady_clock;

constexpr std::uint32_t kOverlayColour = 0xFF00FF;  // a magenta the dialog never shows

class CommandRecordingDialog : public StandardDialog {
 public:
  using StandardDialog::StandardDialog;
  void OnCommand(int controlId) override {
    commands.push_back(controlId);
    StandardDialog::OnCommand(controlId);
  }
  std::vector<int> commands;
};

// Notes the texts the info line is painted with, and how many, for the helper thread.
class InfoPaints : public QObject {
 public:
  explicit InfoPaints(QLabel* label) : label_(label) { label->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      texts << label_->text();
      count.store(static_cast<int>(texts.size()));
    }
    return false;
  }
  QStringList texts;  // GUI thread
  std::atomic<int> count{0};

 private:
  QLabel* label_;
};

// Where the dialog is, in the dialog window's coordinates, taken on the GUI thread.
struct DialogLayout {
  std::uint32_t window = 0;
  ScreenRect infoLine;
  QPoint versionButton;  // its centre
};

struct OverlayRun {
  bool clicked = false;
  bool overlaid = false;    // the overlay was seen on the screen
  int paintsAtRemoval = 0;  // info-line paints before the overlay went away
  double repaintMs = -1;    // until the dialog's pixels were back; -1: never
  std::vector<std::string> failures;
};

bool SameOutside(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b,
                 int width, const ScreenRect& skip) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const int x = static_cast<int>(i % width), y = static_cast<int>(i / width);
    if (a[i] != b[i] && !skip.Contains(x, y)) return false;
  }
  return true;
}

// Runs on a helper thread during the download.
void ClickAndOverlay(const DialogLayout& layout, InfoPaints& paints, OverlayRun& run) {
  const auto limit = Steady::now() + std::chrono::seconds(20);
  auto failed = [&](const char* what) {
    run.failures.push_back(what);
    return;
  };
  XScreenProbe probe;
  if (!probe.Connected()) return failed("no connection to the X server");
  while (paints.count.load() < 3) {  // the download has begun
    if (Steady::now() > limit) return failed("the info line never moved");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const ScreenRect area = probe.WindowArea(layout.window);
  if (area.width == 0) return failed("the dialog's window is not on the screen");

  probe.Pointer(area.x + layout.versionButton.x(), area.y + layout.versionButton.y(), true);
  probe.Pointer(0, 0, false);  // away again, so that no hover look remains
  run.clicked = true;

  // The dialog as painted now, once a hover repaint has settled.
  std::vector<std::uint32_t> before = probe.Capture(area);
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<std::uint32_t> now = probe.Capture(area);
    if (now.empty()) return failed("the screen cannot be read");
    if (SameOutside(before, now, area.width, layout.infoLine)) break;
    if (Steady::now() > limit) return failed("the dialog never stood still");
    before = std::move(now);
  }

  probe.MapOverlay(area, kOverlayColour);
  const std::size_t centre = before.size() / 2;
  while (probe.Capture(area).at(centre) != kOverlayColour) {
    if (Steady::now() > limit) return failed("the overlay never showed");
  }
  run.overlaid = true;
  run.paintsAtRemoval = paints.count.load();
  probe.RemoveOverlay();
  const auto removed = Steady::now();
  const auto patience = removed + std::chrono::seconds(5);
  while (Steady::now() < patience) {
    if (SameOutside(before, probe.Capture(area), area.width, layout.infoLine)) {
      run.repaintMs = std::chrono::duration<double, std::milli>(Steady::now() - removed).count();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

class WindowOverlayTest : public QObject {
  Q_OBJECT

 private slots:
  void repaintsAfterAnOverlayDuringADownload() {
    SlowAdapterRig rig;
    QtDialogHost& host = rig.host;
    CommandRecordingDialog dialog(host, rig.environment);

    DialogLayout layout;
    std::unique_ptr<InfoPaints> paints;
    OverlayRun run;
    std::thread helper;
    MessageBoxAnswerer boxes([&](QMessageBox&, int count) {
      // Confirmed: the download begins when this box has gone.
      if (count == 1) helper = std::thread([&] { ClickAndOverlay(layout, *paints, run); });
    });
    std::function<void()> start = [&] {
      QDialog* window = host.Window();
      if (!window->isVisible()) {
        QTimer::singleShot(1, start);
        return;
      }
      auto* info = qobject_cast<QLabel*>(host.Control(kInfoLine));
      const QPoint infoAt = info->mapTo(window, QPoint(0, 0));
      layout.window = static_cast<std::uint32_t>(window->winId());
      layout.infoLine = {infoAt.x(), infoAt.y(), info->width(), info->height()};
      QWidget* version = host.Control(kVersionButton);
      layout.versionButton = version->mapTo(window, version->rect().center());
      paints = std::make_unique<InfoPaints>(info);
      qobject_cast<QPushButton*>(host.Control(kDownloadButton))->click();
      window->reject();
    };
    QTimer::singleShot(0, start);
    host.RunModal(dialog);
    if (helper.joinable()) helper.join();

    for (const std::string& failure : run.failures) qWarning("%s", failure.c_str());
    QVERIFY(run.failures.empty());
    QCOMPARE(boxes.stuck, 0);
    QCOMPARE(boxes.texts.size(), 2);
    QVERIFY(run.clicked && run.overlaid);
    QCOMPARE(dialog.commands, std::vector<int>{kDownloadButton});
    qInfo("dialog repainted %.1f ms after the overlay went away", run.repaintMs);
    QVERIFY2(run.repaintMs >= 0, "the dialog was not repainted within 5 s");
    // The goal is 100 ms; a loaded machine may take longer, a dialog that
    // does not repaint never gets there.
    QVERIFY2(run.repaintMs <= 1000, qPrintable(QString::number(run.repaintMs)));
    // The info line kept counting after the overlay: new texts up to the end.
    const QStringList after = paints->texts.mid(run.paintsAtRemoval);
    QVERIFY(!after.isEmpty());
    QVERIFY(after.back() != paints->texts.at(run.paintsAtRemoval - 1));
    QVERIFY(paints->texts.contains(QStringLiteral("100 percent")));
  }
};

}  // namespace kr35

int main(int argc, char** argv) {
  if (qgetenv("QT_QPA_PLATFORM") != "xcb" || qEnvironmentVariableIsEmpty("DISPLAY")) {
    std::fputs("skipped: needs an X server (DISPLAY) and QT_QPA_PLATFORM=xcb\n", stdout);
    return 77;
  }
  QApplication application(argc, argv);
  kr35::WindowOverlayTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_overlay_test.moc"
