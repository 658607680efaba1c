// kr35-render-dialogs OUTPUT_DIR: draws the standard and the FULL dialog with
// sample texts into OUTPUT_DIR/standard-dialog.png and full-dialog.png, for
// the documentation. Runs on any Qt platform, including "offscreen".
#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <cstdio>
#include <string>

#include "app/dialog_controller.h"
#include "app/dialog_ids.h"
#include "app/qt/qt_dialog_host.h"
#include "app/ui_resources.h"

namespace kr35 {
namespace {

class SampleController : public DialogController {
 public:
  explicit SampleController(int templateId) : templateId_(templateId) {}
  int TemplateId() const override { return templateId_; }
  bool OnDialogInit() override { return true; }
  void OnCommand(int) override {}
  void OnMessage(const DialogMessage&) override {}

 private:
  int templateId_;
};

// The dialog's client area under a plain title bar with its icon and title.
QPixmap WithTitleBar(QDialog& dialog) {
  const QPixmap client = dialog.grab();
  const int barHeight = QFontMetrics(dialog.font()).height() + 10;
  QPixmap framed(client.width() + 2, client.height() + barHeight + 1);
  framed.fill(QColor(0x1f, 0x5f, 0x99));
  QPainter painter(&framed);
  const int iconSize = barHeight - 8;
  painter.drawPixmap(5, 4, dialog.windowIcon().pixmap(iconSize, iconSize));
  painter.setPen(Qt::white);
  QFont bold = dialog.font();
  bold.setBold(true);
  painter.setFont(bold);
  painter.drawText(QRect(iconSize + 10, 0, client.width() - barHeight * 2, barHeight),
                   Qt::AlignVCenter | Qt::AlignLeft, dialog.windowTitle());
  painter.drawText(QRect(client.width() - barHeight, 0, barHeight, barHeight), Qt::AlignCenter,
                   QStringLiteral("✕"));
  painter.drawPixmap(1, barHeight, client);
  return framed;
}

bool Render(QtDialogHost& host, int templateId, const std::string& infoText,
            const QString& outputFile) {
  SampleController controller(templateId);
  if (!host.Create(controller)) return false;
  host.SetDialogIcon(kIconId);
  host.SetControlText(kVersionLine, "USB 0104, DSP 0107");
  host.SetControlText(kInfoLine, infoText);
  if (templateId == kStandardDialogId) {
    std::string available = LoadResourceString(kAvailableVersionsString);
    char text[256];
    std::snprintf(text, sizeof text, available.c_str(), 0x0104, 0x0107);
    host.SetControlText(kAvailableVersionsLine, text);
  } else {
    host.SetControlText(kUsbPathBox, "/home/user/firmware/kr35_usb.hex");
    host.SetControlText(kDspPathBox, "/home/user/firmware/kr35_dsp.hex");
  }
  host.Window()->show();
  QApplication::processEvents();
  const bool saved = WithTitleBar(*host.Window()).save(outputFile);
  host.Window()->hide();
  host.Detach();
  return saved;
}

}  // namespace
}  // namespace kr35

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kr35-render-dialogs OUTPUT_DIR\n");
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  kr35::QtDialogHost host;
  const bool ok =
      kr35::Render(host, kr35::kStandardDialogId, "", dir.filePath("standard-dialog.png")) &&
      kr35::Render(host, kr35::kFullDialogId, "Success!", dir.filePath("full-dialog.png"));
  if (!ok) std::fprintf(stderr, "kr35-render-dialogs: could not render into %s\n", argv[1]);
  return ok ? 0 : 1;
}
