#pragma once
// Our rapi.dll, loaded from the system folder, where rapi_install put it, and
// bound by name, as the system binds it.
#include <windows.h>

#include <type_traits>

#include "device/RapiLibrary.h"
#include "device/RapiTypes.h"

using PFN_CeRapiInit = HRESULT(WINAPI*)();
using PFN_CeRapiGetError = HRESULT(WINAPI*)();

struct RapiBinding {
    HMODULE module = nullptr;
    PFN_CeRapiInit CeRapiInit = nullptr;
    PFN_CeRapiInitEx CeRapiInitEx = nullptr;
    PFN_CeRapiUninit CeRapiUninit = nullptr;
    PFN_CeRapiGetError CeRapiGetError = nullptr;
    PFN_CeGetLastError CeGetLastError = nullptr;
    PFN_CeCreateFile CeCreateFile = nullptr;
    PFN_CeCloseHandle CeCloseHandle = nullptr;
    PFN_CeWriteFile CeWriteFile = nullptr;
    PFN_CeReadFile CeReadFile = nullptr;
    PFN_CeGetFileSize CeGetFileSize = nullptr;
    PFN_CeSetFileAttributes CeSetFileAttributes = nullptr;
    PFN_CeGetFileAttributes CeGetFileAttributes = nullptr;
    PFN_CeDeleteFile CeDeleteFile = nullptr;
    PFN_CeMoveFile CeMoveFile = nullptr;
    PFN_CeCreateDirectory CeCreateDirectory = nullptr;
    PFN_CeRemoveDirectory CeRemoveDirectory = nullptr;
    PFN_CeFindFirstFile CeFindFirstFile = nullptr;
    PFN_CeFindNextFile CeFindNextFile = nullptr;
    PFN_CeFindClose CeFindClose = nullptr;
    PFN_CeFindAllFiles CeFindAllFiles = nullptr;
    PFN_CeRapiFreeBuffer CeRapiFreeBuffer = nullptr;
    PFN_CeGetStoreInformation CeGetStoreInformation = nullptr;
    PFN_CeGetVersionEx CeGetVersionEx = nullptr;
    PFN_CeCreateProcess CeCreateProcess = nullptr;
    PFN_CeRapiInvoke CeRapiInvoke = nullptr;

    // True when the library loaded and every entry point was found.
    bool Load() {
        module = LoadLibraryW(RapiLibraryPath().c_str());
        if (module == nullptr)
            return false;
        bool all = true;
        auto bind = [&](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
                reinterpret_cast<void*>(GetProcAddress(module, name)));
            all = all && slot != nullptr;
        };
        bind(CeRapiInit, "CeRapiInit");
        bind(CeRapiInitEx, "CeRapiInitEx");
        bind(CeRapiUninit, "CeRapiUninit");
        bind(CeRapiGetError, "CeRapiGetError");
        bind(CeGetLastError, "CeGetLastError");
        bind(CeCreateFile, "CeCreateFile");
        bind(CeCloseHandle, "CeCloseHandle");
        bind(CeWriteFile, "CeWriteFile");
        bind(CeReadFile, "CeReadFile");
        bind(CeGetFileSize, "CeGetFileSize");
        bind(CeSetFileAttributes, "CeSetFileAttributes");
        bind(CeGetFileAttributes, "CeGetFileAttributes");
        bind(CeDeleteFile, "CeDeleteFile");
        bind(CeMoveFile, "CeMoveFile");
        bind(CeCreateDirectory, "CeCreateDirectory");
        bind(CeRemoveDirectory, "CeRemoveDirectory");
        bind(CeFindFirstFile, "CeFindFirstFile");
        bind(CeFindNextFile, "CeFindNextFile");
        bind(CeFindClose, "CeFindClose");
        bind(CeFindAllFiles, "CeFindAllFiles");
        bind(CeRapiFreeBuffer, "CeRapiFreeBuffer");
        bind(CeGetStoreInformation, "CeGetStoreInformation");
        bind(CeGetVersionEx, "CeGetVersionEx");
        bind(CeCreateProcess, "CeCreateProcess");
        bind(CeRapiInvoke, "CeRapiInvoke");
        return all;
    }
};
