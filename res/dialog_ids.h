/* The resource ids of the operator's dialog: its template, its icon and its controls. Shared
   by the resource script and the Win32 window, so both name every control the same way. */
#pragma once

#define IDD_UPGRADE 140
#define IDI_QVLINK 128

#define IDC_FRAME_BOX 1111
#define IDC_START_STOP 1107
#define IDC_PORT_COM1 1110
#define IDC_PORT_COM2 1112
#define IDC_PORT_COM3 1113
#define IDC_PORT_COM4 1114
#define IDC_PORT_COM5 1115
#define IDC_PORT_COM6 1116
#define IDC_PORT_COM7 1117
#define IDC_PORT_COM8 1125
#define IDC_PROGRESS 1057
#define IDC_STATUS_LINE 1087
#define IDC_ELAPSED 1088
#define IDC_RESULT_LINE 1119
#define IDC_CONTINUOUS 1118
