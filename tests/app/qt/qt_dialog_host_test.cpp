// The Qt dialog host on Qt's offscreen platform, driven by a fake controller.
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <thread>
#include <vector>

#include "app/dialog_controller.h"
#include "app/dialog_ids.h"
#include "app/qt/dialog_units.h"
#include "app/qt/qt_dialog_host.h"
#include "app/ui_resources.h"

Q_DECLARE_METATYPE(kr35::MessageBoxIcon)
Q_DECLARE_METATYPE(kr35::MessageBoxButtons)
Q_DECLARE_METATYPE(kr35::MessageBoxResult)

namespace kr35 {
namespace {

class FakeController : public DialogController {
 public:
  explicit FakeController(int templateId) : templateId_(templateId) {}
  int TemplateId() const override { return templateId_; }
  bool OnDialogInit() override {
    if (onInit) onInit();
    return true;
  }
  void OnCommand(int controlId) override {
    commands.push_back(controlId);
    if (onCommand) onCommand(controlId);
  }
  void OnMessage(const DialogMessage& message) override { messages.push_back(message); }

  std::function<void()> onInit;
  std::function<void(int)> onCommand;
  std::vector<int> commands;
  std::vector<DialogMessage> messages;

 private:
  int templateId_;
};

// Answers the next modal widget (a message box) from the event loop it runs.
void AnswerMessageBox(std::function<void(QMessageBox&)> answer) {
  QTimer::singleShot(0, [answer] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box != nullptr);
    answer(*box);
  });
}

QString TemplateIntro(int templateId) {
  return QString::fromStdString(FindDialogTemplate(templateId)->controls.front().text);
}

}  // namespace

class QtDialogHostTest : public QObject {
  Q_OBJECT

 private slots:
  void windowHasEveryControlOfTheTemplate_data() {
    QTest::addColumn<int>("templateId");
    QTest::newRow("standard") << kStandardDialogId;
    QTest::newRow("full") << kFullDialogId;
  }

  void windowHasEveryControlOfTheTemplate() {
    QFETCH(int, templateId);
    const DialogTemplate& t = *FindDialogTemplate(templateId);
    QtDialogHost host;
    FakeController controller(templateId);
    QVERIFY(host.Create(controller));
    QDialog& window = *host.Window();
    const DialogUnits units(window.font());
    QCOMPARE(window.windowTitle(), QString::fromStdString(t.title));
    QCOMPARE(window.size(), QSize(units.ToPixelsX(t.width), units.ToPixelsY(t.height)));
    QCOMPARE(window.minimumSize(), window.maximumSize());  // a fixed frame

    const auto children = window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    int placed = 0;
    for (const ControlTemplate& c : t.controls) {
      const QRect expected = units.ToPixels(c.x, c.y, c.width, c.height);
      if (c.id >= 0) {
        QWidget* widget = host.Control(c.id);
        QVERIFY2(widget != nullptr, qPrintable(QString::number(c.id)));
        QCOMPARE(widget->geometry(), expected);
        QCOMPARE(QString::fromStdString(host.GetControlText(c.id)), QString::fromStdString(c.text));
        const bool kindMatches =
            c.kind == ControlKind::kPushButton ? qobject_cast<QPushButton*>(widget) != nullptr
            : c.kind == ControlKind::kEditBox  ? qobject_cast<QLineEdit*>(widget) != nullptr
                                               : qobject_cast<QLabel*>(widget) != nullptr;
        QVERIFY2(kindMatches, qPrintable(QString::number(c.id)));
      }
      for (QWidget* child : children) {
        auto* label = qobject_cast<QLabel*>(child);
        if (label && label->text() == QString::fromStdString(c.text) &&
            label->geometry() == expected) {
          ++placed;
          break;
        }
      }
    }
    const int labels = static_cast<int>(
        std::count_if(t.controls.begin(), t.controls.end(),
                      [](const ControlTemplate& c) { return c.kind == ControlKind::kStaticText; }));
    QCOMPARE(placed, labels);
    // One dialog unit stays close to what the dialog font gives on Windows.
    QVERIFY(units.BaseUnitX() >= 4 && units.BaseUnitX() <= 10);
    QVERIFY(units.BaseUnitY() >= 10 && units.BaseUnitY() <= 20);
  }

  void introductionTextsDifferInTheirBlanks() {
    const QString sentence = QStringLiteral("to download new versions.");
    QVERIFY(TemplateIntro(kStandardDialogId).contains(sentence + QStringLiteral("  Hardware")));
    QVERIFY(TemplateIntro(kFullDialogId).contains(sentence + QStringLiteral(" Hardware")));
    QVERIFY(!TemplateIntro(kFullDialogId).contains(sentence + QStringLiteral("  ")));
    for (int id : {kStandardDialogId, kFullDialogId}) {
      QVERIFY(TemplateIntro(id).endsWith(QStringLiteral("downloaded together. ")));
      QtDialogHost host;
      FakeController controller(id);
      QVERIFY(host.Create(controller));
      bool shown = false;
      for (QLabel* label : host.Window()->findChildren<QLabel*>()) {
        shown = shown || label->text() == TemplateIntro(id);
      }
      QVERIFY(shown);
    }
  }

  void controlTextsAndStates() {
    QtDialogHost host;
    FakeController controller(kFullDialogId);
    QVERIFY(host.Create(controller));
    for (int id : {kInfoLine, kVersionLine, kUsbPathBox, kDownloadButton}) {
      const std::string text = "text of " + std::to_string(id) + " ü";
      host.SetControlText(id, text);
      QCOMPARE(host.GetControlText(id), text);
    }
    host.SetControlText(kInfoLine, "<b>1 < 2</b>");  // shown literally, not as markup
    QCOMPARE(qobject_cast<QLabel*>(host.Control(kInfoLine))->textFormat(), Qt::PlainText);

    host.EnableControl(kDownloadButton, false);
    QVERIFY(!host.Control(kDownloadButton)->isEnabled());
    host.EnableControl(kDownloadButton, true);
    QVERIFY(host.Control(kDownloadButton)->isEnabled());

    // Ids the template does not have are ignored.
    host.SetControlText(kAvailableVersionsLine, "x");
    host.EnableControl(4242, false);
    QCOMPARE(host.GetControlText(kAvailableVersionsLine), std::string());
  }

  void unknownTemplateIsRefused() {
    QtDialogHost host;
    FakeController controller(kIconId);
    QVERIFY(!host.Create(controller));
    QCOMPARE(host.RunModal(controller), -1);
    QCOMPARE(host.Window(), nullptr);
  }

  void messageBoxShowsAndAnswers_data() {
    QTest::addColumn<MessageBoxIcon>("icon");
    QTest::addColumn<MessageBoxButtons>("buttons");
    QTest::addColumn<int>("click");
    QTest::addColumn<int>("expectedIcon");
    QTest::addColumn<int>("expectedButtons");
    QTest::addColumn<MessageBoxResult>("result");
    const int okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    const int retryCancel = QMessageBox::Retry | QMessageBox::Cancel;
    QTest::newRow("confirm ok") << MessageBoxIcon::kExclamation << MessageBoxButtons::kOkCancel
                                << int(QMessageBox::Ok) << int(QMessageBox::Warning) << okCancel
                                << MessageBoxResult::kOk;
    QTest::newRow("confirm cancel")
        << MessageBoxIcon::kExclamation << MessageBoxButtons::kOkCancel << int(QMessageBox::Cancel)
        << int(QMessageBox::Warning) << okCancel << MessageBoxResult::kCancel;
    QTest::newRow("success") << MessageBoxIcon::kInformation << MessageBoxButtons::kOk
                             << int(QMessageBox::Ok) << int(QMessageBox::Information)
                             << int(QMessageBox::Ok) << MessageBoxResult::kOk;
    QTest::newRow("failure retry")
        << MessageBoxIcon::kQuestion << MessageBoxButtons::kRetryCancel << int(QMessageBox::Retry)
        << int(QMessageBox::Question) << retryCancel << MessageBoxResult::kRetry;
    QTest::newRow("failure cancel")
        << MessageBoxIcon::kQuestion << MessageBoxButtons::kRetryCancel << int(QMessageBox::Cancel)
        << int(QMessageBox::Question) << retryCancel << MessageBoxResult::kCancel;
    QTest::newRow("file error") << MessageBoxIcon::kStop << MessageBoxButtons::kOk
                                << int(QMessageBox::Ok) << int(QMessageBox::Critical)
                                << int(QMessageBox::Ok) << MessageBoxResult::kOk;
  }

  void messageBoxShowsAndAnswers() {
    QFETCH(MessageBoxIcon, icon);
    QFETCH(MessageBoxButtons, buttons);
    QFETCH(int, click);
    QFETCH(int, expectedIcon);
    QFETCH(int, expectedButtons);
    QFETCH(MessageBoxResult, result);
    QtDialogHost host;
    FakeController controller(kStandardDialogId);
    QVERIFY(host.Create(controller));
    const std::string text = LoadResourceString(kConfirmDownloadString);
    bool answered = false;
    AnswerMessageBox([&](QMessageBox& box) {
      QCOMPARE(box.windowTitle(), QStringLiteral("kr35_qt_host_tests"));
      QCOMPARE(box.text(), QString::fromStdString(text));
      QCOMPARE(int(box.icon()), expectedIcon);
      QCOMPARE(int(box.standardButtons()), expectedButtons);
      QCOMPARE(box.parentWidget(), host.Window());
      box.button(QMessageBox::StandardButton(click))->click();
      answered = true;
    });
    QCOMPARE(host.ShowMessageBox(text, icon, buttons), result);
    QVERIFY(answered);
  }

  void escapeInAMessageBoxCancels() {
    QtDialogHost host;
    FakeController controller(kStandardDialogId);
    QVERIFY(host.Create(controller));
    AnswerMessageBox([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    QCOMPARE(host.ShowMessageBox("x", MessageBoxIcon::kQuestion, MessageBoxButtons::kRetryCancel),
             MessageBoxResult::kCancel);
  }

  void browseReturnsTheChosenPathOrNothing() {
    QtDialogHost host;
    FakeController controller(kFullDialogId);
    QVERIFY(host.Create(controller));
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("usb firmware.hex")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    auto answer = [&](bool accept) {
      QTimer::singleShot(0, [&file, accept] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
        QVERIFY(dialog->nameFilters().isEmpty() || dialog->nameFilters().front().contains('*'));
        dialog->selectFile(file.fileName());
        QDialog* asDialog = dialog;  // accept() is public on QDialog
        accept ? asDialog->accept() : asDialog->reject();
      });
    };
    answer(true);
    QCOMPARE(host.BrowseForFile(), std::optional<std::string>(file.fileName().toStdString()));
    answer(false);
    QCOMPARE(host.BrowseForFile(), std::nullopt);
  }

  void waitCursorNestsAndIgnoresExtraEnds() {
    QtDialogHost host;
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    host.BeginWaitCursor();
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    host.BeginWaitCursor();
    host.EndWaitCursor();
    QVERIFY(QApplication::overrideCursor() != nullptr);
    host.EndWaitCursor();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QApplication::setOverrideCursor(Qt::CrossCursor);  // someone else's cursor
    host.EndWaitCursor();
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();
    {
      QtDialogHost forgetful;
      forgetful.BeginWaitCursor();
    }
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  void postedMessagesArriveInOrderOnTheGuiThread() {
    QtDialogHost host;
    FakeController controller(kStandardDialogId);
    QVERIFY(host.Create(controller));
    constexpr int kPerThread = 200;
    auto poster = [&host](std::uint32_t message) {
      for (int i = 0; i < kPerThread; ++i) {
        host.Post({message, static_cast<std::uintptr_t>(i), -i});
      }
    };
    std::thread hid(poster, WM_HID_EVENT);
    std::thread devices(poster, WM_DEVICECHANGE);
    hid.join();
    devices.join();
    QVERIFY(controller.messages.empty());  // nothing is handled outside the event loop
    QTRY_COMPARE(controller.messages.size(), std::size_t{2 * kPerThread});
    int nextHid = 0, nextDevice = 0;
    for (const DialogMessage& m : controller.messages) {
      int& next = m.message == WM_HID_EVENT ? nextHid : nextDevice;
      QCOMPARE(m.wParam, static_cast<std::uintptr_t>(next));
      QCOMPARE(m.lParam, static_cast<std::intptr_t>(-next));
      ++next;
    }
  }

  // A click runs the command; messages posted while it blocks, and a repaint
  // of the info line meanwhile, do not reach the controller until it returns.
  void messagesPostedDuringACommandWaitForIt() {
    QtDialogHost host;
    FakeController controller(kStandardDialogId);
    QVERIFY(host.Create(controller));
    host.Window()->show();
    std::size_t seenDuringCommand = 99;
    controller.onCommand = [&](int) {
      std::thread reader([&host] { host.Post({WM_HID_EVENT, 12, 0xE2}); });
      reader.join();
      host.SetControlText(kInfoLine, "DSP download 50 percent");
      seenDuringCommand = controller.messages.size();
    };
    QTest::mouseClick(host.Control(kDownloadButton), Qt::LeftButton);
    QCOMPARE(controller.commands, std::vector<int>{kDownloadButton});
    QCOMPARE(seenDuringCommand, std::size_t{0});
    QTRY_COMPARE(controller.messages.size(), std::size_t{1});
    QCOMPARE(controller.messages[0].lParam, 0xE2);
  }

  // The templates have no default button: Enter clicks nothing, whether
  // the focus is on a button or in a path box.
  void enterClicksNothing_data() {
    QTest::addColumn<int>("templateId");
    QTest::addColumn<int>("focus");
    QTest::newRow("standard, on Version") << kStandardDialogId << kVersionButton;
    QTest::newRow("full, in the USB path box") << kFullDialogId << kUsbPathBox;
    QTest::newRow("full, in the DSP path box") << kFullDialogId << kDspPathBox;
  }

  void enterClicksNothing() {
    QFETCH(int, templateId);
    QFETCH(int, focus);
    QtDialogHost host;
    FakeController controller(templateId);
    QVERIFY(host.Create(controller));
    host.Window()->show();
    QApplication::setActiveWindow(host.Window());
    host.Control(focus)->setFocus();
    QTest::keyClick(host.Control(focus), Qt::Key_Return);
    QTest::keyClick(host.Control(focus), Qt::Key_Enter);
    QVERIFY(controller.commands.empty());
    QVERIFY(host.Window()->isVisible());
  }

  void postsAfterDetachOrHostEndAreDropped() {
    FakeController controller(kStandardDialogId);
    {
      QtDialogHost host;
      QVERIFY(host.Create(controller));
      host.Post({WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0});
      host.Detach();
      QCoreApplication::processEvents();
      host.Post({WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0});
    }
    QCoreApplication::processEvents();
    QVERIFY(controller.messages.empty());
  }

  void runModalInitialisesBeforeShowingAndEscapeCloses() {
    QtDialogHost host;
    FakeController controller(kStandardDialogId);
    bool visibleAtInit = true;
    controller.onInit = [&] {
      visibleAtInit = host.Window()->isVisible();
      host.AppendSystemMenuItem(kAboutMenuCommand, LoadResourceString(kAboutMenuString));
      host.SetDialogIcon(kIconId);
    };
    QTimer::singleShot(0, [&host] {
      QVERIFY(host.Window()->isVisible());
      QTest::keyClick(host.Window(), Qt::Key_Escape);
    });
    QCOMPARE(host.RunModal(controller), int(QDialog::Rejected));
    QVERIFY(!visibleAtInit);
    QVERIFY(!host.Window()->isVisible());

    const QList<QAction*> items = host.SystemMenu()->actions();
    QVERIFY(items.size() >= 2);
    QVERIFY(items[items.size() - 2]->isSeparator());
    QCOMPARE(items.back()->text(), QStringLiteral("&About KR35test..."));
    QCOMPARE(items.back()->data().toInt(), kAboutMenuCommand);
    items.back()->trigger();  // has no handler: the dialog stays closed, nothing is called
    QVERIFY(controller.commands.empty());

    QVERIFY(!host.Window()->windowIcon().isNull());
    QVERIFY(host.Window()->windowIcon().availableSizes().contains(QSize(16, 16)));
  }

  void systemMenuCloseEndsTheModalRun() {
    QtDialogHost host;
    FakeController controller(kFullDialogId);
    QTimer::singleShot(0, [&host] { host.SystemMenu()->actions().front()->trigger(); });
    QCOMPARE(host.RunModal(controller), int(QDialog::Rejected));
  }
};

}  // namespace kr35

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  kr35::QtDialogHostTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "qt_dialog_host_test.moc"
