// Resource ids of the program's frame: its dialogs, their animation control,
// its strings and the commands the dialog procedure knows by number; plain
// defines so that the resource script can read them too.
#pragma once

// The main dialog (English; the Esperanto twin is the next id).
#define IDD_VEXLIN 200
#define IDD_VEXLIN_EO 201
// The animation control of the main dialog.
#define IDC_ANIMATION 1001

// Strings come in language pairs: English at the id, Esperanto at the next one.
#define IDS_LANGUAGES 1
#define IDS_CAPTION 2
#define IDS_ERROR_TITLE 4
#define IDS_GRAPHICS_FAILED 6
#define IDS_ANONYMOUS 8

// A second start asks the running one to come to the front.
#define IDM_SECOND_START 1000
