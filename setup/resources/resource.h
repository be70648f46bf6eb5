// Identifiers shared by the resource scripts and the code.
#ifndef VELTRANE_RESOURCE_H
#define VELTRANE_RESOURCE_H

// Dialog templates (pages)
#define IDD_EXIT        169
#define IDD_PROGRESS    171
#define IDD_DIRECTORY   200
#define IDD_LICENCE     202
#define IDD_COMPLETED   203
#define IDD_WELCOME     204

// Bitmaps
#define IDB_SEPARATOR_WELCOME 167
#define IDB_COMPUTER          168
#define IDB_SEPARATOR_LICENCE 169
#define IDB_PRODUCT_BOX       172

// Program icon
#define IDI_SETUP 154

// Licence text, resource type "LICENCE"
#define IDR_LICENCE 6001

// Controls and page results (IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7 are the platform's)
#define IDC_LICENCE_TEXT    203
#define IDC_DIRECTORY_EDIT  201
#define IDC_NEXT            1503
#define IDC_EXIT_SETUP      1504
#define IDC_BACK            1505
#define IDC_PROGRESS_BAR    1507
#define IDC_START_MAIN      1508

#endif
