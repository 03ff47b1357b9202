// Identifiers shared by Quenby.rc and the Windows program. The control
// identifiers match the engine's ControlId (checked where the dialog is made).
#ifndef QUENBY_RES_RESOURCE_H_
#define QUENBY_RES_RESOURCE_H_

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_QUENBY_DIALOG 102
#define IDR_MAINFRAME 128

// System-menu command: its low four bits are the system's.
#define IDM_ABOUTBOX 0x0010

#define IDC_RUN 1000
#define IDC_BROWSE 1001
#define IDC_PATH 1002
#define IDC_NUMBER_MODE 1003
#define IDC_RESTORE_MODE 1004

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif  // QUENBY_RES_RESOURCE_H_
