// The setup library's owner record: the desktop toolkit, the device link and the device toolkit.
#include "sl_main.h"

#include "mem_manager.h"
#include "sl_trace.h"

struct SetupLib::State {
    RapiLink* link;
    SetupToolkit* desktop;
    SetupToolkit* device;
};

SetupLib::SetupLib(DWORD timeout)
    : m_(static_cast<State*>(
          MemRegisterObject(new State, sizeof(State), "SetupLib_m_t", __FILE__, __LINE__))) {
    SetupTrace("setuplib: constructing library\n");
    m_->link = nullptr;
    m_->device = nullptr;
    m_->desktop = static_cast<SetupToolkit*>(MemRegisterObject(
        new SetupToolkit(this, nullptr), sizeof(SetupToolkit), "SETUPTOOLKIT", __FILE__, __LINE__));
    DetectDevice(timeout);
    SetupTrace("setuplib: library constructed successfully\n");
}

SetupLib::~SetupLib() {
    SetupTrace("setuplib: destroying library\n");
    if (m_->device) MEMDELETE(m_->device);
    MEMDELETE(m_->desktop);
    RapiClose(m_->link);
    MEMDELETE(m_);
    SetupTrace("setuplib: library destroyed\n");
}

RapiLink* SetupLib::DetectDevice(DWORD timeout) {
    if (timeout && !m_->link) {
        m_->link = RapiOpen(timeout);
        if (m_->link)
            m_->device = static_cast<SetupToolkit*>(MemRegisterObject(
                new SetupToolkit(this, m_->link), sizeof(SetupToolkit), "SETUPTOOLKIT", __FILE__, __LINE__));
    }
    return m_->link;
}

SetupToolkit* SetupLib::DesktopToolkit() const { return m_->desktop; }
SetupToolkit* SetupLib::DeviceToolkit() const { return m_->device; }
SetupToolkit* SetupLib::Target(BOOL device) const { return device ? m_->device : m_->desktop; }

bool SetupLib::Uninstall(BOOL device, const string& applicationName) {
    SetupToolkit* toolkit = Target(device);
    return toolkit && toolkit->Uninstall(applicationName);
}

bool SetupLib::WriteUninstallEntries(BOOL device, const string& applicationName) {
    SetupToolkit* toolkit = Target(device);
    if (toolkit) toolkit->WriteUninstallEntries(applicationName);
    return toolkit != nullptr;
}

bool SetupLib::RemoveUninstallEntries(BOOL device, const string& applicationName) {
    SetupToolkit* toolkit = Target(device);
    if (toolkit) toolkit->RemoveUninstallEntries(applicationName);
    return toolkit != nullptr;
}
