#pragma once
// The numeric ids of the windows and their controls. Every widget carries its
// id in the "controlId" property (see Controls.h), so the ids stay meaningful:
// the hyperlink labels look their address up by their own id, and tests can
// address a control by id as well as by object name.

namespace ids {

// String resources (StringTable.h) that are not control ids
constexpr int IDS_ABOUTBOX = 101;

// Commands shared by every window
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
// The About entry of the main window's menu.
constexpr int IDM_ABOUTBOX = 0x0010;

// Main window
constexpr int IDC_SOURCE_IMAGE = 1002;
constexpr int IDC_INTENT = 1004;
constexpr int IDC_BROWSE_SOURCE_IMAGE = 1005;
constexpr int IDC_SOURCE_PROFILE = 1006;
constexpr int IDC_BROWSE_SOURCE_PROFILE = 1007;
constexpr int IDC_DEST_IMAGE = 1008;
constexpr int IDC_BROWSE_DEST_IMAGE = 1009;
constexpr int IDC_BROWSE_DEST_PROFILE = 1010;
constexpr int IDC_DEST_PROFILE = 1011;
constexpr int IDC_EMBED_PROFILE = 1012;
constexpr int IDC_HELP_BUTTON = 1013;
constexpr int IDC_SOURCE_LABEL = 1015;
constexpr int IDC_DEST_LABEL = 1016;
constexpr int IDC_MULTIPLE_FILES = 1017;
constexpr int IDC_LOGO_LINK = 1021;
constexpr int IDC_TEXT_LINK = 1022;
// Labels that are never addressed.
constexpr int IDC_STATIC = -1;

// Conversion status window
constexpr int IDC_PROGRESS = 1007;
constexpr int IDC_ELAPSED = 1008;
constexpr int IDC_PERCENT = 1009;
constexpr int IDC_FILE_NAME = 1018;
constexpr int IDC_FILE_COUNT = 1019;

// Folder chooser: the Current Folder box
constexpr int IDC_CURRENT_FOLDER = 102;

// Help window
constexpr int IDC_HELP_TEXT = 1004;

// About window
constexpr int IDC_VERSION = 1000;
constexpr int IDC_NOTICE = 1001;

} // namespace ids
