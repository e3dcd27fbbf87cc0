// Resource ids of the executable. Also read by the resource compiler: macros only.
#pragma once

#define IDS_TITLE 103
#define IDS_DRIVER_UNAVAILABLE 104
#define IDS_MODEL_NOT_SUPPORTED 105
#define IDS_CHANGE_FAILED 106
#define IDS_WINDOWS_TOO_OLD 107
#define IDS_ANOTHER_USER 108
#define IDS_ALREADY_DISABLED 110
#define IDS_CONFIRM_DISABLE 111
#define IDS_NOW_DISABLED 113

#define IDI_TOLLVANE 131
