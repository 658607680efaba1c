#include "app/ui_resources.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "app/dialog_ids.h"

namespace kr35 {
namespace {

const std::string kIntroStart =
    "This program allows you to check the version of the firmware in your KR35 USB headset "
    "hardware and to download new versions.";
const std::string kIntroEnd =
    "Hardware firmware is in two parts, called USB and DSP, which are downloaded together. ";
const std::string kClickHere =
    "Click here to view the versions of firmware currently installed in your hardware.";

TEST(UiResourcesTest, StringTableHoldsTheExactTexts) {
  EXPECT_EQ(LoadResourceString(kAboutMenuString), "&About KR35test...");
  EXPECT_EQ(LoadResourceString(kConfirmDownloadString),
            "Firmware download will take about 1 minute.\n During download: \n .Do not disconnect "
            "your hardware from its USB connection.\n .Do not turn off your computer. \n OK to "
            "proceed?");
  EXPECT_EQ(LoadResourceString(kDownloadSucceededString), "Firmware download successful!");
  EXPECT_EQ(LoadResourceString(kDownloadFailedString), "Firmware download failed.");
  EXPECT_EQ(LoadResourceString(kAvailableVersionsString),
            "Firmware versions available for download: USB %04x, DSP %04x \nClick here to download "
            "new firmware to your hardware.");
  EXPECT_EQ(LoadResourceString(128), "");
  EXPECT_EQ(LoadResourceString(134), "");
}

TEST(UiResourcesTest, UnknownTemplateIsNull) {
  EXPECT_EQ(FindDialogTemplate(0), nullptr);
  EXPECT_EQ(FindDialogTemplate(kIconId), nullptr);
}

using Row = std::tuple<int, ControlKind, std::string, int, int, int, int>;

void ExpectControls(const DialogTemplate& dialog, const std::vector<Row>& rows) {
  ASSERT_EQ(dialog.controls.size(), rows.size());
  for (const auto& [id, kind, text, x, y, w, h] : rows) {
    const ControlTemplate* found = nullptr;
    for (const ControlTemplate& c : dialog.controls) {
      if (c.id == id && c.text == text) found = &c;
    }
    ASSERT_NE(found, nullptr) << "control " << id << " \"" << text << "\"";
    EXPECT_EQ(found->kind, kind) << id;
    EXPECT_EQ(std::tie(found->x, found->y, found->width, found->height), std::tie(x, y, w, h))
        << id << " " << text;
    EXPECT_EQ(found->border, kind == ControlKind::kEditBox) << id;
    EXPECT_EQ(found->autoHScroll, kind == ControlKind::kEditBox) << id;
  }
}

void ExpectDialogFrame(const DialogTemplate& dialog, const std::string& title, int w, int h) {
  EXPECT_EQ(dialog.title, title);
  EXPECT_EQ(dialog.width, w);
  EXPECT_EQ(dialog.height, h);
  EXPECT_EQ(dialog.fontName, "MS Sans Serif");
  EXPECT_EQ(dialog.fontPointSize, 8);
  EXPECT_TRUE(dialog.caption);
  EXPECT_TRUE(dialog.systemMenu);
  EXPECT_TRUE(dialog.modalFrame);
}

constexpr auto kButton = ControlKind::kPushButton;
constexpr auto kStatic = ControlKind::kStaticText;
constexpr auto kEdit = ControlKind::kEditBox;

TEST(UiResourcesTest, StandardTemplateIsComplete) {
  const DialogTemplate* dialog = FindDialogTemplate(kStandardDialogId);
  ASSERT_NE(dialog, nullptr);
  ExpectDialogFrame(*dialog, "KR35 Hardware Download Utility", 373, 129);
  ExpectControls(*dialog,
                 {
                     {-1, kStatic, kIntroStart + "  " + kIntroEnd, 7, 6, 359, 21},
                     {kVersionButton, kButton, "Version", 7, 35, 50, 14},
                     {kVersionLine, kStatic, "", 69, 34, 146, 15},
                     {-1, kStatic, kClickHere, 7, 53, 287, 8},
                     {kInfoLine, kStatic, "info", 7, 68, 151, 8},
                     {kDownloadButton, kButton, "Download", 7, 102, 50, 14},
                     {kAvailableVersionsLine, kStatic,
                      "Firmware versions available for download: USB 0100, DSP 0100 \nClick here "
                      "to download new firmware to your hardware.",
                      72, 101, 230, 18},
                 });
}

TEST(UiResourcesTest, FullTemplateIsComplete) {
  const DialogTemplate* dialog = FindDialogTemplate(kFullDialogId);
  ASSERT_NE(dialog, nullptr);
  ExpectDialogFrame(*dialog, "KR35 Hardware Download Utility (FULL)", 380, 158);
  ExpectControls(*dialog, {
                              {-1, kStatic, kIntroStart + " " + kIntroEnd, 9, 15, 359, 21},
                              {kVersionButton, kButton, "Version", 9, 44, 50, 14},
                              {kVersionLine, kStatic, "", 71, 42, 146, 15},
                              {-1, kStatic, kClickHere, 9, 62, 287, 8},
                              {kInfoLine, kStatic, "info", 9, 77, 151, 8},
                              {kDownloadButton, kButton, "Download", 9, 95, 50, 14},
                              {-1, kStatic, "USB", 13, 118, 16, 8},
                              {kUsbPathBox, kEdit, "", 38, 113, 282, 14},
                              {kUsbBrowseButton, kButton, "Browse", 322, 110, 50, 14},
                              {-1, kStatic, "DSP", 13, 142, 16, 8},
                              {kDspPathBox, kEdit, "", 37, 137, 283, 14},
                              {kDspBrowseButton, kButton, "Browse", 323, 137, 50, 14},
                          });
}

TEST(UiResourcesTest, ControlIdsAreUniqueWithinADialog) {
  for (int id : {kStandardDialogId, kFullDialogId}) {
    std::set<int> seen;
    for (const ControlTemplate& c : FindDialogTemplate(id)->controls) {
      if (c.id != -1) {
        EXPECT_TRUE(seen.insert(c.id).second) << id << ": " << c.id;
      }
    }
  }
}

}  // namespace
}  // namespace kr35
