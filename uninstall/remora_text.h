// Identifiers of the uninstaller's localized texts: English at each base, Esperanto at the next one.
#pragma once

#define IDS_REMORA_TITLE 100
#define IDS_REMORA_CONFIRM 110
#define IDS_REMORA_DONE 120
#define IDS_REMORA_FAILED 130
#define IDS_REMORA_NO_NAME 140
