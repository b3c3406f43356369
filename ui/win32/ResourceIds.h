#pragma once
// Resource identifiers of the Windows programs, shared by the resource
// script (so plain #defines) and the code.

#define KV_IDS_WINDOW_TITLE 103  // string: the hidden main window's title
#define KV_IDS_APP_TITLE 106     // string: drawn in the main window
#define KV_IDS_WINDOW_CLASS 109  // string: the main window's class name
#define KV_IDD_MAIN_DIALOG 103   // the main dialog (built from the template)
#define KV_IDM_ABOUT 104         // menu: Help, About
#define KV_IDM_EXIT 105          // menu: File, Exit
#define KV_IDI_LARGE 107         // icon: 32x32 and 16x16
#define KV_IDI_SMALL 108         // icon: 16x16
#define KV_IDR_MAIN_MENU 109     // menu and accelerator table of the main window
