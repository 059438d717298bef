// The installation toolkit: folders, files, shortcuts and registry values on the desktop or the device,
// each journalled before it is made, the uninstall log, and the uninstall that replays it backwards.
#include "sl_toolkit.h"

#include "cetl_exception.h"
#include "mem_manager.h"
#include "sl_internal.h"
#include "sl_trace.h"
#include "tl_format.h"

#include <objbase.h>
#include <shlobj.h>

struct SetupToolkit::State {
    SetupLib* owner;
    DWORD device;
    RapiLink* link;
    string folders[5]; // caches of the folder kinds, empty until known
    SetupProgress callback;
    DWORD_PTR user;
    LONG percent;
    LONG decompressorVersion; // -1 until asked
    string applicationName;
    string journalPath;
    Journal journal;
    LONG depth; // above 0: each new entry is saved before its change
    bool journalOpen;
    bool journalDirty;
};

namespace {

const CHAR kCurrentVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const CHAR kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const CHAR kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const CHAR kLanguageKey[] = "SOFTWARE\\Tessel\\NLS";
const DWORD kWriteChunk = 32768;
// The log being saved, before it replaces the last one.
const CHAR kPendingLogSuffix[] = ".new";

// "C:" and the like: a drive, which is never journalled or made.
bool IsDrive(const string& path) {
    return path.GetLength() == 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// Cuts at each backslash from the right: the path (when asked) and its parents, outermost first.
DWORD FolderChain(const string& path, bool includeSelf, string* chain, DWORD capacity) {
    string parts[64];
    DWORD count = 0;
    string current = path;
    if (includeSelf && !current.IsEmpty() && !IsDrive(current)) parts[count++] = current;
    for (DWORD cut = current.ReverseFind('\\'); cut != string::npos && count < 64;
         cut = current.ReverseFind('\\')) {
        current = current.Mid(0, cut);
        if (!current.IsEmpty() && !IsDrive(current)) parts[count++] = current;
    }
    DWORD n = 0;
    for (DWORD i = count; i > 0 && n < capacity; --i) chain[n++] = parts[i - 1];
    return n;
}

// The "This File Is Safe To Delete" name for a busy file: on the file's own drive (or the device's root),
// a number (the tick count) to tell names apart, and the file's extension.
string SafeToDeleteName(bool device, const string& path, DWORD number) {
    string name;
    if (device)
        name = "\\";
    else if (path.GetLength() >= 2 && path[1] == ':')
        name = path.Mid(0, 2) + "\\";
    else
        name = "C:\\";
    name += sformat("This File Is Safe To Delete (#%ld)", static_cast<long>(number));
    DWORD dot = path.ReverseFind('.');
    DWORD slash = path.ReverseFind('\\');
    if (dot != string::npos && (slash == string::npos || dot > slash)) name += path.Mid(dot);
    return name;
}

// Moves a file to a free "This File Is Safe To Delete" name; empty when it cannot be moved. Two busy files
// in the same millisecond would want one name, so a taken name tries the next number.
string MoveAside(RapiLink* link, const string& path) {
    DWORD tick = GetTickCount();
    for (DWORD attempt = 0; attempt < 64; ++attempt) {
        string moved = SafeToDeleteName(link != nullptr, path, tick + attempt);
        if (SlMoveFile(link, path, moved)) return moved;
        if (!SlExists(link, path) || !SlExists(link, moved)) break;
    }
    return string();
}

void ToolkitProgress(void* context, LONG percent, const string& path) {
    static_cast<SetupToolkit*>(context)->ReportProgress(kProgressFile, percent, path);
}

// A hook library's begin or end call. Desktop: the function takes the application name and answers 0 to
// stop the uninstall. Device: the library's "ChainAppHook" gets the library path, the function name and
// the application name, and answers the same way as decimal text. A hook that cannot be reached lets the
// uninstall go on.
LONG CallHook(RapiLink* link, const string& library, const CHAR* function, const string& applicationName) {
    if (library.IsEmpty()) return 1;
    if (!link) {
        HMODULE module = LoadLibraryA(library.Psz8());
        if (!module) return 1;
        typedef LONG(WINAPI * HookFunction)(LPCWSTR);
        HookFunction hook =
            reinterpret_cast<HookFunction>(reinterpret_cast<void*>(GetProcAddress(module, function)));
        LONG answer = hook ? hook(applicationName.Psz16()) : 1;
        FreeLibrary(module);
        return answer;
    }
    string name(function);
    DWORD parts[3] = {library.GetLength() + 1, name.GetLength() + 1, applicationName.GetLength() + 1};
    DWORD cb = (parts[0] + parts[1] + parts[2]) * sizeof(WCHAR);
    BYTE* input = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, cb));
    if (!input) return 1;
    CopyMemory(input, library.Psz16(), parts[0] * sizeof(WCHAR));
    CopyMemory(input + parts[0] * sizeof(WCHAR), name.Psz16(), parts[1] * sizeof(WCHAR));
    CopyMemory(input + (parts[0] + parts[1]) * sizeof(WCHAR), applicationName.Psz16(),
               parts[2] * sizeof(WCHAR));
    DWORD cbOutput = 0;
    BYTE* output = nullptr;
    HRESULT result =
        CeRapiInvoke(link, library.Psz16(), L"ChainAppHook", cb, input, &cbOutput, &output, nullptr, 0);
    LONG answer = SUCCEEDED(result) && output ? RapiParseVersion(output, cbOutput) : 1;
    if (output) LocalFree(output);
    return answer;
}

} // namespace

SetupToolkit::SetupToolkit(SetupLib* owner, RapiLink* link)
    : m_(static_cast<State*>(
          MemRegisterObject(new State, sizeof(State), "SetupToolkit_m_t", __FILE__, __LINE__))) {
    m_->owner = owner;
    m_->device = link ? 1 : 0;
    m_->link = link;
    m_->callback = nullptr;
    m_->user = 0;
    m_->percent = 0;
    m_->decompressorVersion = -1;
    m_->depth = 0;
    m_->journalOpen = false;
    m_->journalDirty = false;
}

SetupToolkit::~SetupToolkit() { MEMDELETE(m_); }

bool SetupToolkit::IsDevice() const { return m_->device != 0; }
RapiLink* SetupToolkit::Link() const { return m_->link; }
LONG SetupToolkit::CurrentPercent() const { return m_->percent; }
const Journal& SetupToolkit::GetJournal() const { return m_->journal; }
const string& SetupToolkit::JournalPath() const { return m_->journalPath; }
const string& SetupToolkit::ApplicationName() const { return m_->applicationName; }

void SetupToolkit::SetProgressCallback(SetupProgress callback, DWORD_PTR user) {
    m_->callback = callback;
    m_->user = user;
}

void SetupToolkit::ReportProgress(DWORD kind, LONG percent, const string& path) {
    if (percent != -1) m_->percent = percent;
    if (m_->callback) m_->callback(kind, m_->percent, path, m_->user);
}

string SetupToolkit::GetFolder(DWORD kind) {
    if (kind > kFolderStartup) return string();
    string& cached = m_->folders[kind];
    if (!cached.IsEmpty()) return cached;
    RapiLink* link = m_->link;
    switch (kind) {
    case kFolderRoot:
        cached = link ? "\\" : "C:\\";
        break;
    case kFolderProgramFiles: {
        if (!link)
            cached = SlRegReadText(nullptr, HKEY_LOCAL_MACHINE, string(kCurrentVersion),
                                   string("ProgramFilesDir"));
        if (cached.IsEmpty()) {
            string top =
                SlRegReadText(link, HKEY_LOCAL_MACHINE, string("PMail\\Attachments"), string("TopDir"));
            if (!top.IsEmpty()) cached = string("\\") + top;
        }
        // A device has no drive letters: its default lives at its root.
        if (cached.IsEmpty()) cached = link ? "\\Program Files" : "C:\\Program Files";
        break;
    }
    case kFolderMaker:
        cached = GetFolder(kFolderProgramFiles) + "\\Tessel Software";
        break;
    default: {
        bool programs = kind == kFolderProgramsMenu;
        if (link) {
            WCHAR buffer[MAX_PATH + 1] = {0};
            if (CeGetSpecialFolderPath(link, programs ? 2 : 7, MAX_PATH, buffer)) cached = buffer;
            break;
        }
        string user = SlRegReadText(nullptr, HKEY_CURRENT_USER, string(kShellFolders),
                                    string(programs ? "Programs" : "Startup"));
        string common = SlRegReadText(nullptr, HKEY_LOCAL_MACHINE, string(kShellFolders),
                                      string(programs ? "Common Programs" : "Common Startup"));
        if (!user.IsEmpty() && !SlExists(nullptr, user)) user = "";
        if (!common.IsEmpty() && !SlExists(nullptr, common)) common = "";
        bool nt = (GetVersion() & 0x80000000u) == 0;
        if (nt)
            cached = common.IsEmpty() ? user : common;
        else
            cached = user.IsEmpty() ? common : user;
        break;
    }
    }
    return cached;
}

string SetupToolkit::ProcessorName() { return string(m_->link ? RapiDeviceProcessor(m_->link) : "native"); }

bool SetupToolkit::Journalize(DWORD kind, const string& first, const string& second) {
    if (m_->journal.Contains(kind, first, second)) return true;
    m_->journal.Add(kind, first, second);
    m_->journalDirty = true;
    // Saved before the change: a crash right after it leaves a log that covers it.
    if (m_->depth > 0) SaveJournal();
    return true;
}

bool SetupToolkit::OpenJournal(const string& applicationName) {
    string maker = GetFolder(kFolderMaker);
    if (!EnsureFolder(maker, true, true)) {
        SetupTrace("setuplib: openjournal failed to create %s\n", maker.Psz8());
        return false;
    }
    m_->journalPath = sformat("%s\\Uninstall Log for %s.txt", maker.Psz8(), applicationName.Psz8());
    m_->applicationName = applicationName;
    m_->journalOpen = true;
    m_->percent = 0;
    ReadUninstallLog(applicationName);
    m_->depth += 1;
    return true;
}

bool SetupToolkit::ReadUninstallLog(const string& applicationName) {
    string path =
        sformat("%s\\Uninstall Log for %s.txt", GetFolder(kFolderMaker).Psz8(), applicationName.Psz8());
    BYTE* bytes = nullptr;
    DWORD count = 0;
    m_->journal.Clear();
    // Without the log, a save that stopped before the replacement left only the new one, which is whole
    // on a device (the old log goes after the new one is written) and otherwise the first save's.
    if (!SlReadFile(m_->link, path, &bytes, &count) &&
        !SlReadFile(m_->link, path + kPendingLogSuffix, &bytes, &count))
        return false;
    m_->journal.ReadLogText(reinterpret_cast<const CHAR*>(bytes), count);
    if (bytes) MEMFREE(bytes);
    return true;
}

bool SetupToolkit::SaveJournal() {
    m_->journalDirty = false;
    ReportProgress(kProgressUninstallInfo, -1, string());
    string text = m_->journal.ToLogText();
    // Written beside the log and then put in its place: a crash during the write leaves the last complete
    // log, never an empty or cut one that would lose changes already made.
    string temporary = m_->journalPath + kPendingLogSuffix;
    if (!WriteFile(temporary, reinterpret_cast<const BYTE*>(text.Psz8()), text.GetLength(), -1, -1))
        return false;
    return SlReplaceFile(m_->link, temporary, m_->journalPath);
}

void SetupToolkit::CloseJournal() {
    if (m_->journalOpen && m_->journalDirty) SaveJournal();
    m_->depth = 0;
    m_->journalOpen = false;
}

void SetupToolkit::RaiseDepth() {
    if (m_->journalOpen) m_->depth += 1;
}

void SetupToolkit::LowerDepth() {
    if (m_->journalOpen && m_->depth > 0) m_->depth -= 1;
}

string SetupToolkit::CommandLine() {
    return sformat("\"%s\\remora.dll\" \"%s\"", GetFolder(kFolderMaker).Psz8(), m_->journalPath.Psz8());
}

bool SetupToolkit::EnsureFolder(const string& path, bool includeSelf, bool create) {
    string chain[64];
    DWORD count = FolderChain(path, includeSelf, chain, 64);
    for (DWORD i = 0; i < count; ++i) {
        if (!create) {
            if (m_->journal.Add(kJournalDeleteDir, chain[i])) m_->journalDirty = true;
            continue;
        }
        // A folder that was there before is not the installation's: the uninstall would remove it once it
        // is empty, even a start menu folder of the system. Only the folders made here are journalled,
        // each saved before it is made.
        if (SlExists(m_->link, chain[i])) continue;
        if (m_->depth > 0) Journalize(kJournalDeleteDir, chain[i]);
        ReportProgress(kProgressFolder, -1, chain[i]);
        if (!SlCreateFolder(m_->link, chain[i])) return false;
    }
    return true;
}

bool SetupToolkit::EnsureKey(HKEY root, const string& subKey, bool includeSelf, bool create) {
    // A key's chain is cut at its backslashes like a folder's.
    string chain[64];
    DWORD count = FolderChain(subKey, includeSelf, chain, 64);
    for (DWORD i = 0; i < count; ++i) {
        string path = SlRegistryPath(root, chain[i]);
        if (!create) {
            if (m_->journal.Add(kJournalDeleteKey, path)) m_->journalDirty = true;
            continue;
        }
        // As with folders, a key that was there before stays out of the journal.
        if (SlRegKeyExists(m_->link, root, chain[i])) continue;
        if (m_->depth > 0) Journalize(kJournalDeleteKey, path);
        if (!SlRegCreateKey(m_->link, root, chain[i])) return false;
    }
    return true;
}

bool SetupToolkit::RegisterValueForRemoval(HKEY root, const string& subKey, const string& valueName) {
    EnsureKey(root, subKey, true, false);
    if (m_->journal.Add(kJournalDeleteVal, SlRegistryPath(root, subKey), valueName)) m_->journalDirty = true;
    return true;
}

bool SetupToolkit::WriteRegString(HKEY root, const string& subKey, const string& valueName,
                                  const string& text) {
    if (!EnsureKey(root, subKey, true, true)) return false;
    Journalize(kJournalDeleteVal, SlRegistryPath(root, subKey), valueName);
    ReportProgress(kProgressRegistry, -1, SlRegistryPath(root, subKey));
    return SlRegSetString(m_->link, root, subKey, valueName, text);
}

bool SetupToolkit::WriteRegDword(HKEY root, const string& subKey, const string& valueName, DWORD value) {
    if (!EnsureKey(root, subKey, true, true)) return false;
    Journalize(kJournalDeleteVal, SlRegistryPath(root, subKey), valueName);
    ReportProgress(kProgressRegistry, -1, SlRegistryPath(root, subKey));
    return SlRegSetValue(m_->link, root, subKey, valueName, REG_DWORD, &value, sizeof value);
}

bool SetupToolkit::WriteRegBinary(HKEY root, const string& subKey, const string& valueName, const BYTE* data,
                                  DWORD size) {
    if (!EnsureKey(root, subKey, true, true)) return false;
    Journalize(kJournalDeleteVal, SlRegistryPath(root, subKey), valueName);
    ReportProgress(kProgressRegistry, -1, SlRegistryPath(root, subKey));
    return SlRegSetValue(m_->link, root, subKey, valueName, REG_BINARY, data, size);
}

bool SetupToolkit::TransferLanguage(const string& applicationName) {
    const CHAR* prefixes[2] = {"Lang-", "Opt-"};
    for (const CHAR* prefix : prefixes) {
        string name = string(prefix) + applicationName;
        RegisterValueForRemoval(HKEY_LOCAL_MACHINE, string(kLanguageKey), name);
        if (!m_->link) continue;
        string text = SlRegReadText(nullptr, HKEY_LOCAL_MACHINE, string(kLanguageKey), name);
        if (!WriteRegString(HKEY_LOCAL_MACHINE, string(kLanguageKey), name, text)) return false;
    }
    return true;
}

bool SetupToolkit::WriteFile(const string& path, const BYTE* bytes, DWORD count, LONG from, LONG to) {
    if (m_->link) {
        RapiTransfer transfer;
        transfer.link = m_->link;
        transfer.decompressorVersion = &m_->decompressorVersion;
        transfer.makerFolder = GetFolder(kFolderMaker);
        transfer.progress = ToolkitProgress;
        transfer.context = this;
        return RapiSendFile(transfer, path, bytes, count, from, to) != FALSE;
    }
    SetFileAttributesA(path.Psz8(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file =
        CreateFileA(path.Psz8(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SetupTrace("setuplib: writefile failed to create %s\n", path.Psz8());
        return false;
    }
    bool ok = true;
    if (from == -1) {
        DWORD written = 0;
        ok = !count || (::WriteFile(file, bytes, count, &written, nullptr) && written == count);
    } else {
        ReportProgress(kProgressFile, from, path);
        for (DWORD done = 0; ok && done < count;) {
            DWORD piece = count - done < kWriteChunk ? count - done : kWriteChunk;
            DWORD written = 0;
            ok = ::WriteFile(file, bytes + done, piece, &written, nullptr) && written == piece;
            if (!ok) break;
            done += piece;
            // In 64 bits: the span times the bytes written passes 32 bits for files of a few tens of MB.
            ULONGLONG share = static_cast<ULONGLONG>(static_cast<DWORD>(to - from)) * done / count;
            ReportProgress(kProgressFile, from + static_cast<LONG>(share), path);
        }
    }
    CloseHandle(file);
    if (!ok) SetupTrace("setuplib: writefile failed to write %s\n", path.Psz8());
    return ok;
}

bool SetupToolkit::InstallFile(const string& destination, ZipFile& archive, const string& member, LONG from,
                               LONG to) {
    string name = ZipMemberName(member.Psz8());
    ZipEntry* entry = archive.Find(name.Psz8());
    if (!entry) {
        SetupTrace("setuplib: installfile failed to find %s\n", name.Psz8());
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (!EnsureFolder(destination, false, true)) return false;
    Journalize(kJournalDeleteFile, destination);
    bool wasLoaded = entry->IsLoaded();
    try {
        archive.Load(entry);
    } catch (const cetl::exception&) {
        // A damaged member is a failed step like any other: the installer reports it.
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    bool ok = WriteFile(destination, entry->GetData(), entry->GetSize(), from, to);
    if (!wasLoaded) entry->Unload();
    return ok;
}

bool SetupToolkit::InstallTree(const string& destinationFolder, ZipFile& archive, const string& memberFolder,
                               LONG from, LONG to) {
    string prefix = ZipMemberName(memberFolder.Psz8());
    if (!prefix.IsEmpty() && prefix[prefix.GetLength() - 1] != '/') prefix += "/";
    ULONGLONG total = 0, done = 0;
    for (ZipFile::iterator it = archive.begin(); it != archive.end(); ++it) {
        const ZipEntry* e = *it;
        const string& name = e->GetName();
        if (name.CompareNoCase(prefix.Psz8(), prefix.GetLength()) == 0 && name[name.GetLength() - 1] != '/')
            total += e->GetSize() ? e->GetSize() : 1;
    }
    for (ZipFile::iterator it = archive.begin(); it != archive.end(); ++it) {
        const ZipEntry* e = *it;
        string name = e->GetName();
        if (name.CompareNoCase(prefix.Psz8(), prefix.GetLength()) != 0 || name[name.GetLength() - 1] == '/')
            continue;
        string relative = name.Mid(prefix.GetLength());
        relative.Replace("/", "\\");
        ULONGLONG size = e->GetSize() ? e->GetSize() : 1;
        LONG a = from + static_cast<LONG>((to - from) * done / (total ? total : 1));
        LONG b = from + static_cast<LONG>((to - from) * (done + size) / (total ? total : 1));
        if (!InstallFile(destinationFolder + "\\" + relative, archive, name, a, b)) return false;
        done += size;
    }
    return true;
}

bool SetupToolkit::RegisterHook(const string& library) { return Journalize(kJournalAppHook, library); }

bool SetupToolkit::LinkFile(const string& shortcut, const string& target) {
    if (!EnsureFolder(shortcut, false, true)) return false;
    Journalize(kJournalDeleteFile, shortcut);
    SlDeleteFile(m_->link, shortcut);
    bool ok = false;
    if (m_->link) {
        string quoted = string("\"") + target + "\"";
        WCHAR* wideShortcut = shortcut.Dup16();
        WCHAR* wideTarget = quoted.Dup16();
        ok = wideShortcut && wideTarget && CeSHCreateShortcut(m_->link, wideShortcut, wideTarget) != 0;
        if (wideShortcut) MEMFREE(wideShortcut);
        if (wideTarget) MEMFREE(wideTarget);
    } else {
        HRESULT init = CoInitialize(nullptr);
        IShellLinkA* link = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                       reinterpret_cast<void**>(&link)))) {
            link->SetPath(target.Psz8());
            link->SetShowCmd(SW_SHOWNORMAL);
            link->SetDescription(target.Psz8());
            IPersistFile* file = nullptr;
            if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
                ok = SUCCEEDED(file->Save(shortcut.Psz16(), TRUE));
                file->Release();
            }
            link->Release();
        }
        if (SUCCEEDED(init)) CoUninitialize();
    }
    if (!ok) SetupTrace("setuplib: linkfile failed to create %s\n", shortcut.Psz8());
    return ok;
}

string SetupToolkit::UninstallerPath() {
    return GetFolder(kFolderProgramFiles) + "\\Tessel Software\\remora.dll";
}

bool SetupToolkit::Finalize(ZipFile& archive, const string& member, LONG from, LONG to) {
    string name = ZipMemberName(member.Psz8());
    ZipEntry* entry = archive.Find(name.Psz8());
    if (!entry) {
        SetupTrace("setuplib: could not find %s for finalize\n", name.Psz8());
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (m_->journalOpen && m_->journalDirty) SaveJournal();
    string uninstaller = GetFolder(kFolderMaker) + "\\remora.dll";
    // An uninstaller of version 2 or later serves every product of the maker: it is kept.
    if (RapiAskVersion(m_->link, uninstaller, string("GetUninstallVersion")) < 2) {
        if (!EnsureFolder(uninstaller, false, true)) return false;
        bool wasLoaded = entry->IsLoaded();
        try {
            archive.Load(entry);
        } catch (const cetl::exception&) {
            SetLastError(ERROR_INVALID_DATA);
            return false;
        }
        bool ok = WriteFile(uninstaller, entry->GetData(), entry->GetSize(), from, to);
        if (!wasLoaded) entry->Unload();
        if (!ok) return false;
    }
    ReportProgress(kProgressFinishing, to, string());
    WriteUninstallEntries(m_->applicationName);
    return true;
}

void SetupToolkit::WriteUninstallEntries(const string& applicationName) {
    string uninstaller = UninstallerPath();
    if (m_->link) {
        string key = string("Software\\Apps\\") + applicationName;
        SlRegCreateKey(m_->link, HKEY_LOCAL_MACHINE, key);
        SlRegSetString(m_->link, HKEY_LOCAL_MACHINE, key, string("InstlDir"), applicationName);
        SlRegSetString(m_->link, HKEY_LOCAL_MACHINE, key, string("IsvFile"), uninstaller);
        DWORD one = 1, zero = 0;
        SlRegSetValue(m_->link, HKEY_LOCAL_MACHINE, key, string("Instl"), REG_DWORD, &one, sizeof one);
        SlRegSetValue(m_->link, HKEY_LOCAL_MACHINE, key, string("InstlDirCnt"), REG_DWORD, &zero,
                      sizeof zero);
        return;
    }
    string key = string(kUninstallKey) + applicationName;
    SlRegCreateKey(nullptr, HKEY_LOCAL_MACHINE, key);
    SlRegSetString(nullptr, HKEY_LOCAL_MACHINE, key, string("DisplayName"), applicationName);
    SlRegSetString(nullptr, HKEY_LOCAL_MACHINE, key, string("UninstallString"),
                   sformat("rundll32 \"%s\",Uninstall %s", uninstaller.Psz8(), applicationName.Psz8()));
}

void SetupToolkit::RemoveUninstallEntries(const string& applicationName) {
    string key =
        m_->link ? string("Software\\Apps\\") + applicationName : string(kUninstallKey) + applicationName;
    SlRegDeleteKey(m_->link, HKEY_LOCAL_MACHINE, key);
}

bool SetupToolkit::Uninstall(const string& applicationName) {
    if (!ReadUninstallLog(applicationName)) return false;
    RapiLink* link = m_->link;
    const Journal& journal = m_->journal;
    // The hook library is moved aside first, so that it can go even while loaded.
    string hook, hookHome;
    for (DWORD i = journal.Count(); i > 0 && hook.IsEmpty(); --i) {
        const JournalEntry& e = journal.At(i - 1);
        if (e.kind != kJournalAppHook) continue;
        hook = MoveAside(link, e.first);
        hookHome = e.first;
    }
    if (CallHook(link, hook, "OnUninstallBegin", applicationName) == 0) {
        // Refused: the hook goes back where it was, so that nothing at all has changed.
        SlMoveFile(link, hook, hookHome);
        return false;
    }
    for (DWORD i = journal.Count(); i > 0; --i) {
        const JournalEntry& e = journal.At(i - 1);
        switch (e.kind) {
        case kJournalDeleteDir:
            SlRemoveFolder(link, e.first);
            break;
        case kJournalDeleteFile:
            SlSetAttributes(link, e.first, FILE_ATTRIBUTE_NORMAL);
            SlDeleteFile(link, e.first);
            if (SlExists(link, e.first)) {
                // Busy: out of the way under a name that says what it is, and gone at the next restart.
                string moved = MoveAside(link, e.first);
                if (!moved.IsEmpty()) {
                    if (link)
                        SlDeleteFile(link, moved);
                    else
                        MoveFileExA(moved.Psz8(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
                }
            }
            break;
        case kJournalDeleteKey: {
            HKEY root;
            string subKey;
            SlSplitRegistryPath(e.first, &root, &subKey);
            SlRegDeleteEmptyKey(link, root, subKey);
            break;
        }
        case kJournalDeleteVal: {
            HKEY root;
            string subKey;
            SlSplitRegistryPath(e.first, &root, &subKey);
            SlRegDeleteValue(link, root, subKey, e.second);
            break;
        }
        default:
            break;
        }
    }
    string log =
        sformat("%s\\Uninstall Log for %s.txt", GetFolder(kFolderMaker).Psz8(), applicationName.Psz8());
    SlDeleteFile(link, log);
    SlDeleteFile(link, log + kPendingLogSuffix);
    RemoveUninstallEntries(applicationName);
    CallHook(link, hook, "OnUninstallEnd", applicationName);
    if (!hook.IsEmpty() && !SlDeleteFile(link, hook) && !link)
        MoveFileExA(hook.Psz8(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return true;
}
