#pragma once
// Our rapi.dll, loaded from the system folder, where rapi_install put it, and
// every entry point of the Remote API bound by name.
#include <windows.h>

#include "device/RapiLibrary.h"
#include "device/RapiTypes.h"

struct RapiBinding {
    HMODULE module = nullptr;
#define PELKO_RAPI_BINDING_SLOT(name, result, failure, bindOrder, use, parameters, arguments)      \
    PFN_##name name = nullptr;
    PELKO_RAPI_ENTRY_POINTS(PELKO_RAPI_BINDING_SLOT)
#undef PELKO_RAPI_BINDING_SLOT

    // True when the library loaded and every entry point was found.
    bool Load() {
        module = LoadLibraryW(RapiLibraryPath().c_str());
        if (module == nullptr)
            return false;
        bool all = true;
        auto bind = [&](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
                reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
            all = all && slot != nullptr;
        };
#define PELKO_RAPI_BIND(name, result, failure, bindOrder, use, parameters, arguments)              \
    bind(name, #name);
        PELKO_RAPI_ENTRY_POINTS(PELKO_RAPI_BIND)
#undef PELKO_RAPI_BIND
        return all;
    }
};
