// GameSettings: the player's choices as the options screen flips them and the
// registry keeps them ("Settings" under the game's key, a versioned record of
// four little-endian words). The shell loads it at start and saves it at the end.
#pragma once

#include <windows.h>

struct GameSettings {
    DWORD soundEffects;  // 1 on, 0 off
    DWORD music;         // 1 on, 0 off
    DWORD advancedStart; // 1: a new game starts at level 6 with 7500 points
    DWORD firstDay;      // day number of the first start, carried unchanged
};

// Sound and music on, normal start, first started on `today`.
void SetDefaultSettings(GameSettings* settings, DWORD today);
// Fails (leaving the record as it was) when the value is missing or of another layout.
bool LoadSettings(GameSettings* settings);
bool SaveSettings(const GameSettings& settings);
