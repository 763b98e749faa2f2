#pragma once
// Resource ids of the settings plug-in, shared by gx7conf.rc and the code. The control ids
// double as the ids of the tooltip strings (a control's tooltip is the string of its id).

// Dialogs: the start-up notice and the property pages.
#define IDD_SPLASH           117
#define IDD_PAGE_SYSINFO     118
#define IDD_PAGE_GENERAL     107
#define IDD_PAGE_DISPLAY1    108
#define IDD_PAGE_DISPLAY2    130
#define IDD_PAGE_DIRECT3D1   128
#define IDD_PAGE_DIRECT3D2   129
#define IDD_PAGE_DIRECT3D    131
#define IDD_PAGE_SOUNDOTHER  109
#define IDD_PAGE_ENVIRONMENT 111

// The property sheet's icon.
#define IDI_SHEET 104

// Placement pictures of the second display page.
#define IDB_SCREEN_BOTTOM 122
#define IDB_SCREEN_CENTRE 123
#define IDB_SCREEN_SCALED 124
#define IDB_SCREEN_TOP    125
#define IDB_SCREEN_WINDOW 126

// Controls shared by several pages.
#define IDC_RESET          1102
#define IDC_RESTART_NOTICE 1112

// System information page.
#define IDC_INFO_LIST 1106
#define IDC_INFO_SAVE 1111

// General page.
#define IDC_MODE_LAST        1001
#define IDC_MODE_FULLSCREEN  1002
#define IDC_MODE_WINDOW      1003
#define IDC_NO_SCREENSAVER   1006
#define IDC_CAMOUFLAGE       1007
#define IDC_OUT_INFO         1008

// Display 1 page.
#define IDC_CURSOR_ORIGINAL 1004
#define IDC_CURSOR_SYSTEM   1005
#define IDC_SIZE_0          1009   // to IDC_SIZE_0 + 4
#define IDC_SIZE_1          1010
#define IDC_SIZE_2          1011
#define IDC_SIZE_3          1012
#define IDC_SIZE_4          1013
#define IDC_FPS_30          1016
#define IDC_FPS_60          1017
#define IDC_CURSOR_GROUP    1059
#define IDC_FULL_LIST       1131
#define IDC_SIZE_LIMIT      1142

// Display 2 page (each group's first button; value i is button + i).
#define IDC_FULL_SIZE_SCALED 1132
#define IDC_FULL_SIZE_WINDOW 1133
#define IDC_FULL_POS_CENTRE  1134
#define IDC_FULL_POS_TOP     1135
#define IDC_FULL_POS_BOTTOM  1136
#define IDC_MW_POS_STANDARD  1137
#define IDC_MW_POS_BOTTOM    1138
#define IDC_MW_POS_TOP       1139
#define IDC_WALL_BLACK       1140
#define IDC_WALL_PATTERN     1141

// 3D pages.
#define IDC_TEX_16BIT     1018
#define IDC_TEX_32BIT     1019
#define IDC_MIN_POINT     1020
#define IDC_MIN_LINEAR    1021
#define IDC_MIN_ANISO     1022
#define IDC_MAG_POINT     1023
#define IDC_MAG_LINEAR    1024
#define IDC_MAG_ANISO     1025
#define IDC_DITHER        1026
#define IDC_HARD_TNL      1118
#define IDC_LIGHT         1119
#define IDC_BACKBUFFER    1120
#define IDC_VSYNC         1121
#define IDC_ANTIALIAS     1124
#define IDC_FOG_PIXEL     1125
#define IDC_FOG_VERTEX    1126
#define IDC_FOG_NONE      1127
#define IDC_TEX_SIZE      1128
#define IDC_TEX_COMP      1129

// Sound and other page.
#define IDC_STICKY        1027
#define IDC_DS3D          1028
#define IDC_IMGCACHE      1114
#define IDC_IMGCACHE_TEXT 1116
#define IDC_DUALCORE      1122
#define IDC_STEREO        1123

// Environment page.
#define IDC_GDI_CAP              1042
#define IDC_Z32                  1043
#define IDC_NO_Z                 1044
#define IDC_FULL_WIDE            1045
#define IDC_NO_CACHE             1046
#define IDC_DISABLE_MOVIE        1047
#define IDC_DISABLE_PIXELSHADER  1048
#define IDC_WAIT_D3D_COMMAND     1143
