// Identifiers shared by the resource script and the program.
#pragma once

#define IDD_CONFIRM 101
#define IDD_PROGRESS 102
#define IDI_APP 128
#define IDI_DIALOG 129
#define IDC_PROGRESS_TEXT 1002

// Posted by the progress dialog to itself to start the work once it shows.
#define CMD_START_CLEANUP 1024
