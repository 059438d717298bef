// Message boxes of both programs, shown on the calling thread or on a thread of their own.
#include "tl_dialog.h"

#include "mem_manager.h"

namespace {

MessageBoxFunction g_messageBox = nullptr;

int ShowNow(MESSAGE_PARAMS* params) {
    MessageBoxFunction show = g_messageBox ? g_messageBox : MessageBox;
    int answer = show(nullptr, params->text.Psz(), params->caption.Psz(), params->flags);
    MEMDELETE(params);
    return answer;
}

DWORD WINAPI MessageThread(LPVOID parameter) {
    ShowNow(static_cast<MESSAGE_PARAMS*>(parameter));
    return 0;
}

} // namespace

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
    MessageBoxFunction previous = g_messageBox;
    g_messageBox = function;
    return previous;
}

int ShowMessage(DWORD flags, const string& caption, const string& text) {
    MESSAGE_PARAMS* params = MEMNEW(MESSAGE_PARAMS, (flags, caption, text));
    if (!params) return 0;
    if ((params->flags & MB_ICONMASK) == 0)
        params->flags |= (params->flags & MB_TYPEMASK) != 0 ? MB_ICONQUESTION : MB_ICONINFORMATION;
    if ((params->flags & kMessageAsync) == 0) return ShowNow(params);

    params->flags &= ~kMessageAsync;
    HANDLE thread = CreateThread(nullptr, 0, MessageThread, params, 0, nullptr);
    // Without a thread nobody else owns the parameters: they go, and nothing is shown.
    if (!thread) {
        MEMDELETE(params);
        return 0;
    }
    CloseHandle(thread);
    return 0;
}
