// SetupToolkit makes every change of an installation on one target, the desktop or an attached device,
// and records each change in the uninstall journal before making it, so that the uninstall log on disk
// always covers what is already there. The desktop toolkit calls Win32; the device toolkit makes the same
// calls through the device link.
#pragma once

#include "sl_journal.h"
#include "sl_rapi.h"
#include "zip_file.h"

class SetupLib;

// Progress kinds passed to the callback.
enum SetupProgressKind {
    kProgressFile = 0,
    kProgressFolder = 1,
    kProgressRegistry = 2,
    kProgressUninstallInfo = 3,
    kProgressFinishing = 4
};
// (kind, percent, path, user value); the percent is the toolkit's current one.
typedef void (*SetupProgress)(DWORD kind, LONG percent, const string& path, DWORD_PTR user);

// Folder kinds of GetFolder.
enum SetupFolderKind {
    kFolderRoot = 0,
    kFolderProgramFiles,
    kFolderMaker,
    kFolderProgramsMenu,
    kFolderStartup
};

class SetupToolkit {
public:
    // A desktop toolkit without a link, a device toolkit with one (which stays the link's owner's).
    SetupToolkit(SetupLib* owner, RapiLink* link);
    ~SetupToolkit();

    bool IsDevice() const;
    RapiLink* Link() const;
    void SetProgressCallback(SetupProgress callback, DWORD_PTR user);
    LONG CurrentPercent() const;

    // The folder of a kind (see SetupFolderKind), computed once; empty for an unknown kind.
    string GetFolder(DWORD kind);
    // "native" on the desktop, the device's processor folder name ("arm", ...) on a device.
    string ProcessorName();

    // Opens or creates the journal of an application: the maker folder is made, an existing uninstall
    // log is read back, and from now on each new entry is saved before its change.
    bool OpenJournal(const string& applicationName);
    // Writes the uninstall log now; false when it cannot be written.
    bool SaveJournal();
    // Saves when dirty and stops saving before changes.
    void CloseJournal();
    void RaiseDepth();
    void LowerDepth();
    const Journal& GetJournal() const;
    const string& JournalPath() const;
    const string& ApplicationName() const;
    // Replaces the journal with the uninstall log of an application as it is on disk.
    bool ReadUninstallLog(const string& applicationName);
    // The uninstaller's command line: "<maker folder>\remora.dll" "<journal path>", each quoted.
    string CommandLine();

    // Without `create`, journals every folder of a path (the drive aside), from the outermost inwards.
    // With `create`, makes the missing ones, journalling only those: a folder that was there before is
    // left out of the journal, so that the uninstall never removes it.
    bool EnsureFolder(const string& path, bool includeSelf, bool create);
    // The same for a registry key's chain of subkeys.
    bool EnsureKey(HKEY root, const string& subKey, bool includeSelf, bool create);
    // Journals the key chain and the value for removal without touching the registry.
    bool RegisterValueForRemoval(HKEY root, const string& subKey, const string& valueName);
    bool WriteRegString(HKEY root, const string& subKey, const string& valueName, const string& text);
    bool WriteRegDword(HKEY root, const string& subKey, const string& valueName, DWORD value);
    bool WriteRegBinary(HKEY root, const string& subKey, const string& valueName, const BYTE* data,
                        DWORD size);
    // Journals the language values of an application; a device toolkit also copies the desktop's.
    bool TransferLanguage(const string& applicationName);

    // Writes a member of the archive to a file; progress runs from `from` to `to`.
    bool InstallFile(const string& destination, ZipFile& archive, const string& member, LONG from, LONG to);
    // Installs every file member below a member folder ("native/") into a folder, the progress shared
    // out by size.
    bool InstallTree(const string& destinationFolder, ZipFile& archive, const string& memberFolder, LONG from,
                     LONG to);
    // Journals a hook library for the uninstall to call before and after it removes anything.
    bool RegisterHook(const string& library);
    // Makes a shortcut to the target.
    bool LinkFile(const string& shortcut, const string& target);
    // Installs the uninstaller (unless one of version 2 or later is there already) and the uninstall
    // registry entries.
    bool Finalize(ZipFile& archive, const string& member, LONG from, LONG to);

    // Writes bytes to a file on this target; `from` -1 reports no progress.
    bool WriteFile(const string& path, const BYTE* bytes, DWORD count, LONG from, LONG to);
    // Sets the current percent (unless -1) and tells the callback.
    void ReportProgress(DWORD kind, LONG percent, const string& path);

    // Undoes an installation through its uninstall log: the hook's begin call, every entry from the
    // last to the first, the log itself, the uninstall registry entries, the hook's end call. False when
    // the log cannot be read or the hook refused.
    bool Uninstall(const string& applicationName);
    // The uninstall registry entries of an application on this target.
    void WriteUninstallEntries(const string& applicationName);
    void RemoveUninstallEntries(const string& applicationName);

private:
    struct State;
    SetupToolkit(const SetupToolkit&);
    SetupToolkit& operator=(const SetupToolkit&);
    bool Journalize(DWORD kind, const string& first, const string& second = string());
    string UninstallerPath();
    State* m_;
};
