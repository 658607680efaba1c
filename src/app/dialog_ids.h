// Resource ids shared by the dialog controllers and every dialog host.
#pragma once

namespace kr35 {

inline constexpr int kStandardDialogId = 129;  // dialog template of the standard mode
inline constexpr int kFullDialogId = 136;      // dialog template of the FULL mode
inline constexpr int kIconId = 128;

// Controls.
inline constexpr int kVersionButton = 1000;
inline constexpr int kVersionLine = 1001;
inline constexpr int kDownloadButton = 1023;
inline constexpr int kInfoLine = 1024;
inline constexpr int kUsbPathBox = 1027;
inline constexpr int kDspPathBox = 1029;
inline constexpr int kUsbBrowseButton = 1030;
inline constexpr int kDspBrowseButton = 1031;
inline constexpr int kAvailableVersionsLine = 1032;

// String table.
inline constexpr int kAboutMenuString = 129;
inline constexpr int kConfirmDownloadString = 130;
inline constexpr int kDownloadSucceededString = 131;
inline constexpr int kDownloadFailedString = 132;
inline constexpr int kAvailableVersionsString = 133;

// The system-menu item appended after a separator; it has no handler.
inline constexpr int kAboutMenuCommand = 16;

}  // namespace kr35
