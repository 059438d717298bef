// Resource ids of the game that code refers to by number; plain defines so
// that the resource script can read them too.
#pragma once

// The program's icon: the lowest icon id, the one the shell shows for the program.
#define IDI_VEXLIN 100
