// SetupLib is the setup library as the installer holds it: the desktop toolkit, and while a palm-size PC
// answers, the device link and the device toolkit.
#pragma once

#include "sl_toolkit.h"

class SetupLib {
public:
    // Makes the desktop toolkit, then looks for a device for up to `timeout` milliseconds (the installer
    // gives kRapiStartupTimeout; 0 looks for none).
    explicit SetupLib(DWORD timeout = kRapiStartupTimeout);
    ~SetupLib();

    // With a non-zero time-out and no link open, tries to open the device link and makes the device
    // toolkit. Returns the link, null while no device is attached; a time-out of 0 only reports.
    RapiLink* DetectDevice(DWORD timeout);
    SetupToolkit* DesktopToolkit() const;
    // Null without a device.
    SetupToolkit* DeviceToolkit() const;

    // The uninstall, and the writing and removal of the uninstall registry entries, on the device for a
    // non-zero first argument (false when no device is attached).
    bool Uninstall(BOOL device, const string& applicationName);
    bool WriteUninstallEntries(BOOL device, const string& applicationName);
    bool RemoveUninstallEntries(BOOL device, const string& applicationName);

private:
    struct State;
    SetupLib(const SetupLib&);
    SetupLib& operator=(const SetupLib&);
    SetupToolkit* Target(BOOL device) const;
    State* m_;
};
