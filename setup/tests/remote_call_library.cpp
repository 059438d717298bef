// A desktop library with the remote-call shape, for the desktop counterpart of the remote call: it answers
// its version as an uninstaller does, and has one function that always fails.
#include "sl_rapi_api.h"

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    GetUninstallVersion(DWORD, BYTE* pInput, DWORD* pcbOutput, BYTE** ppOutput, IRAPIStream*) {
    // The called function owns its input.
    if (pInput) LocalFree(pInput);
    static const WCHAR answer[] = L"2";
    *ppOutput = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, sizeof(answer)));
    if (!*ppOutput) return E_OUTOFMEMORY;
    CopyMemory(*ppOutput, answer, sizeof(answer));
    *pcbOutput = sizeof(answer);
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    AlwaysFails(DWORD, BYTE* pInput, DWORD*, BYTE**, IRAPIStream*) {
    if (pInput) LocalFree(pInput);
    return E_FAIL;
}
