// GameSettings: defaults and the versioned registry record.
#include "game_settings.h"

#include "registry.h"
#include "tl_string.h"

namespace {

const DWORD kSettingsVersion = 0x00010000;
const TCHAR kGameKey[] = TEXT("HKCU\\Software\\Tessel\\Vexlin");
const TCHAR kSettingsValue[] = TEXT("Settings");

} // namespace

void SetDefaultSettings(GameSettings* settings, DWORD today) {
    settings->soundEffects = 1;
    settings->music = 1;
    settings->advancedStart = 0;
    settings->firstDay = today;
}

bool LoadSettings(GameSettings* settings) {
    GameSettings read;
    if (!RegValue(string(kGameKey), string(kSettingsValue))
             .GetVersioned(kSettingsVersion, &read, sizeof(read)))
        return false;
    *settings = read;
    return true;
}

bool SaveSettings(const GameSettings& settings) {
    RegData data(&settings, sizeof(settings));
    return RegValue(string(kGameKey), string(kSettingsValue)).SetVersioned(kSettingsVersion, data);
}
