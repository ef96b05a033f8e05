/* The resource ids of the station window: its icon, the header, the tile and the port chooser
   templates, the keys, and their controls. Shared by the resource script and the Win32 station
   window, so both name every control the same way. */
#pragma once

#define IDI_STATION 128
#define IDR_STATION_KEYS 200

#define IDD_STATION_HEADER 300
#define IDD_STATION_TILE 301
#define IDD_STATION_PORTS 302

/* The header. */
#define IDC_FIRMWARE_BUTTON 3001
#define IDC_FIRMWARE_TEXT 3002
#define IDC_RECORD_BUTTON 3003
#define IDC_RECORD_TEXT 3004
#define IDC_PORTS_BUTTON 3005
#define IDC_COMPLETED 3006
#define IDC_FAILED 3007
#define IDC_PER_HOUR 3008
#define IDC_MEAN_TIME 3009
#define IDC_P95_TIME 3010
#define IDC_START_ALL 3011
#define IDC_STOP_ALL 3012
#define IDC_NOTICE 3013
#define IDC_DATABASE_NAME 3014
#define IDC_DATABASE_TEXT 3015

/* A tile. */
#define IDC_TILE_NAME 3101
#define IDC_TILE_DEVICE 3102
#define IDC_TILE_PHASE 3103
#define IDC_TILE_PROGRESS 3104
#define IDC_TILE_SINCE 3105
#define IDC_TILE_RESULT 3106
#define IDC_TILE_COUNTS 3107
#define IDC_TILE_ENABLED 3108

/* The port chooser. */
#define IDC_PORTS_OFFERED 3201
#define IDC_PORTS_EDIT 3202
