// Resource numbers shared by the resource script and the code.
#pragma once

#define IDS_CONFIRMCANCEL 1
#define IDS_APPTITLE      2
#define IDS_DIRPROMPT     3

#define IDI_SETUP         1
#define IDB_TITLE         102
#define IDD_COMPONENTS    103
#define IDD_DIRECTORY     104
#define IDD_COPYING       105

#define IDC_PLUGIN        1001
#define IDC_SAMPLES       1002
// 1003 is not used.
#define IDC_HELPFILES     1004
#define IDC_BACK          1005
#define IDC_PROMPT        1006
#define IDC_DIRECTORY     1007
#define IDC_BROWSE        1008
#define IDC_COPYFILE      1009
#define IDC_COPYDEST      1010
