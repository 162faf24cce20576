/* Resource ids, shared by tarnlet.rc and the code: plain definitions, since
   the resource compiler reads this file too. */
#pragma once

/* Controls that the code never addresses by id. */
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* Dialog templates. */
#define IDD_MAIN 102
#define IDD_ADD_ADDRESS 107
#define IDD_UNINSTALL 118
#define IDD_UPDATE 120
#define IDD_OUTAGES 130

/* The host list's context menu; its first submenu is the one shown. */
#define IDR_HOST_MENU 109

#define IDI_TARNLET 117

/* Controls of the main window. */
#define IDC_ADD_ADDRESS 1001
#define IDC_SPLITTER 1002
#define IDC_LIVE 1003
#define IDC_HOST_LIST 1004
#define IDC_SCALE 1006

/* The main window's button that opens the Outages window. */
#define IDC_OUTAGES 1100

/* Controls of the Outages window. */
#define IDC_OUTAGE_TOTALS 1101
#define IDC_OUTAGE_LIST 1102
#define IDC_OUTAGE_COPY 1103
#define IDC_OUTAGE_SAVE 1104

/* Control of the Add Address dialog. */
#define IDC_ADDRESS 1005

/* Controls of the update notice. */
#define IDC_CLOSE_NOTICE 1007
#define IDC_UPDATE_LINK 1009
#define IDC_UPDATE_TEXT 1010
#define IDC_UPDATE_ICON 1011

/* Controls of the uninstall window. */
#define IDC_UNINSTALL_CLOSE 1007
#define IDC_UNINSTALL_STATUS 1008

/* The host list's context menu commands. */
#define ID_HOST_EXPORT 40004
#define ID_HOST_REMOVE 40006
#define ID_HOST_ENABLED 40007
#define ID_HOST_CLEAR 40009
#define ID_HOST_OPEN_LOCATION 40011

/* The notification-area icon's menu and its commands. */
#define IDR_TRAY_MENU 131
#define ID_TRAY_SHOW 40101
#define ID_TRAY_NOTIFY 40102
#define ID_TRAY_MINIMIZE 40103
#define ID_TRAY_AUTOSTART 40104
#define ID_TRAY_EXIT 40105
#define ID_TRAY_OUTAGES 40106
