#pragma once
// Resource ids of the update program (shared by the resource script and the code).
#define IDI_UPDATER_LARGE 103
#define IDI_UPDATER_SMALL 104
#define IDD_UPDATING 1003
#define IDC_UPDATING_TEXT 1005
