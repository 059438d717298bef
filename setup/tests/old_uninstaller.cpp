// An uninstaller of an older generation for the toolkit's test: it answers version 1, so an installation
// replaces it.
#include "sl_rapi_api.h"

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    GetUninstallVersion(DWORD, BYTE* pInput, DWORD* pcbOutput, BYTE** ppOutput, IRAPIStream*) {
    if (pInput) LocalFree(pInput);
    static const WCHAR answer[] = L"1";
    *ppOutput = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, sizeof(answer)));
    if (!*ppOutput) return E_OUTOFMEMORY;
    CopyMemory(*ppOutput, answer, sizeof(answer));
    *pcbOutput = sizeof(answer);
    return S_OK;
}
