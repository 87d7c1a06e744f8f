#pragma once
// Ids of pelko's own resources, shared by the resource script and the code.
#define IDD_COPY_DIALOG 102
#define IDR_MAINFRAME 128
#define IDC_PROGRESS 1000
#define IDC_STATUS_TEXT 1001
