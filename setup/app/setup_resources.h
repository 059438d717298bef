// Identifiers of the installer's resources. Every text and dialog comes in an English/Esperanto pair:
// English at the identifier, Esperanto at the next number.
#pragma once

// Dialogs: the frame, the language, target and no-device pages, the progress pages.
#define IDD_FRAME 101
#define IDD_LANGUAGE 103
#define IDD_TARGET 105
#define IDD_NODEVICE 107
#define IDD_PROGRESS_ONE 109
#define IDD_PROGRESS_BOTH 111

// Controls.
#define IDC_INSTALL 1000
#define IDC_ENGLISH 1001
#define IDC_ESPERANTO 1002
#define IDC_TARGET_DESKTOP 1003
#define IDC_TARGET_BOTH 1004
#define IDC_TARGET_DEVICE 1005
#define IDC_TITLE 1006
#define IDC_RESCAN 1007
#define IDC_PROGRESS_FIRST 1008
#define IDC_PROGRESS_SECOND 1009
#define IDC_STATUS 1011

// Commands the worker thread posts to the frame.
#define IDM_UPDATESTATUS 1010
#define IDM_FINISHED 1012

// Strings.
#define IDS_LANGUAGES 1
#define IDS_TITLE_MARKUP 2
#define IDS_TITLE 4
#define IDS_STATUS_INSTALLING 6
#define IDS_STATUS_FOLDER 8
#define IDS_STATUS_REGISTRY 10
#define IDS_STATUS_UNINSTALL 12
#define IDS_STATUS_FINISHING 14
#define IDS_SUCCESS 16
#define IDS_FAILURE 18
#define IDS_NO_DIRECTORY 20
#define IDS_NO_FILE 22
#define IDS_NO_UNINSTALL 24
#define IDS_STOPPED 26
#define IDS_ASK_STOP 28

// Pictures, the icon, archives and the fonts drawn while Esperanto is current.
#define IDG_FRAME 501
#define IDG_INSTALL 502
#define IDG_RESCAN 503
#define IDI_SETUP 500
#define IDZ_PAYLOAD 113
#define IDZ_SKIN 800
#define IDF_FIRST_FONT 600
