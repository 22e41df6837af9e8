#pragma once
// Resource and control ids of the module's dialogs, pictures and texts.
// Included by dovrel.rc and by the window code, so plain #defines only.

#define IDS_PROJNAME 100
// The build's site list; in a string block of its own, apart from the module's texts.
#define IDS_ALLOWED_SITES 1000
#define IDI_DOVREL 100

// Pictures
#define IDB_TOOLBOX 101
#define IDB_PROGRESS_BACKGROUND 202
#define IDB_CANCEL_BUTTON 203

// Dialogs
#define IDD_PROGRESS 103
#define IDD_FOLDER_SELECT 104
#define IDD_RECEIVE 105
#define IDD_BUSY 201

// Progress window (103); the window shows the download worker's fields in these.
#define IDC_PROGRESS_STATUS 215
#define IDC_PROGRESS_BAR 216
#define IDC_PROGRESS_FILE_NAME 217
#define IDC_PROGRESS_SIZE 219
#define IDC_PROGRESS_COUNT 220

// Folder selection window (104)
#define IDC_FOLDER_HEADING 201
#define IDC_FOLDER_EDIT 202
#define IDC_FOLDER_BROWSE 203

// Main receive window (105)
#define IDC_RECEIVE_FOLDER_EDIT 202
#define IDC_RECEIVE_CHANGE_FOLDER 203
#define IDC_RECEIVE_DATE_EDIT 204
#define IDC_RECEIVE_SEARCH 205
#define IDC_RECEIVE_SERVER_LIST 206
#define IDC_RECEIVE_LOCAL_LIST 207
#define IDC_RECEIVE_RECEIVED_LIST 208
#define IDC_RECEIVE_SEARCH_ALL 209
#define IDC_RECEIVE_READ_AGAIN 211
#define IDC_RECEIVE_RECEIVE 212
#define IDC_RECEIVE_CLOSE 213

// Busy popup (201)
#define IDC_BUSY_TEXT 214
