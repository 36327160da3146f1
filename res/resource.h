// Resource ids shared by the resource script and the program.
#pragma once

#define IDI_APP 101
#define IDR_ACCELERATORS 102

// Dialog templates and strings: the German id; the English one is 400 higher.
#define IDD_MAIN 400
#define IDS_NOT_NVIDIA 401
#define IDS_NO_DRIVER_LIBRARY 402
#define IDS_ALERT 403
#define IDS_HISTORY_RESET 404
#define ENGLISH_ID_OFFSET 400

#define IDC_GRAPH 1001
#define IDC_INTERVAL 1002
#define IDC_APPLY 1003
#define IDC_ICONFONT 1004
#define IDC_THRESHOLD 1005
#define IDC_THRESHOLD_SPIN 1007

#define IDM_REFRESH 40001
#define IDM_SAVE 40002
#define IDM_DISPLAY_SETTINGS 40003
#define IDM_GPU_INFO 40005
