#include "device/DeviceConnection.h"

#include "device/RapiLibrary.h"

namespace {

constexpr DWORD InitWaitMs = 4000;

// GetProcAddress hands every entry point out as FARPROC; the detour through
// the generic function pointer type states that the cast is deliberate.
template <typename Fn> Fn EntryPointCast(FARPROC proc) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

} // namespace

DeviceConnection& DeviceConnection::Instance() {
    static DeviceConnection instance;
    return instance;
}

DeviceConnection::DeviceConnection() {
    connected = false;
}

DeviceConnection::~DeviceConnection() {
    if (connected)
        Disconnect();
}

bool DeviceConnection::Connect() {
    if (connected)
        return true;

    // Loaded again on every attempt and never unloaded: the module handle is
    // not kept. Only the system's own library is loaded, by its full path.
    const std::wstring libraryPath = RapiLibraryPath();
    if (libraryPath.empty())
        return false;
    HMODULE library = LoadLibraryW(libraryPath.c_str());
    if (!library)
        return false;

    struct EntryPoint {
        const char* name;
        int bindOrder;
        bool called;
        void (*bind)(DeviceConnection&, FARPROC);
    };
#define PELKO_RAPI_BINDING(name, result, failure, bindOrder, use, parameters, arguments)           \
    PELKO_RAPI_IF_BOUND_##use(                                                                     \
        {#name, bindOrder, PELKO_RAPI_CALLED_##use, [](DeviceConnection& c, FARPROC proc) {        \
             c.name##Slot = EntryPointCast<PFN_##name>(proc);                                      \
         }}, )
    static const EntryPoint entryPoints[] = {PELKO_RAPI_ENTRY_POINTS(PELKO_RAPI_BINDING)};
#undef PELKO_RAPI_BINDING
    constexpr int entryPointCount = sizeof(entryPoints) / sizeof(entryPoints[0]);
    static_assert(entryPointCount == 23, "23 Remote API entry points");

    // A library that lacks an entry point the system calls is not the Remote
    // API: nothing in it is called, not even CeRapiInitEx, and its slots are
    // emptied again so that no operation reaches into it.
    bool complete = true;
    for (int order = 1; order <= entryPointCount; ++order) {
        for (const EntryPoint& entry : entryPoints) {
            if (entry.bindOrder != order)
                continue;
            FARPROC proc = GetProcAddress(library, entry.name);
            entry.bind(*this, proc);
            if (entry.called && !proc)
                complete = false;
        }
    }
    if (!complete) {
        for (const EntryPoint& entry : entryPoints)
            entry.bind(*this, nullptr);
        return false;
    }

    RAPIINIT init = {sizeof(RAPIINIT), nullptr, 0};
    if (SUCCEEDED(CeRapiInitExSlot(&init)) &&
        WaitForSingleObject(init.heRapiInit, InitWaitMs) == WAIT_OBJECT_0 &&
        SUCCEEDED(init.hrRapiInit)) {
        connected = true;
        return true;
    }
    CeRapiUninitSlot();
    return false;
}

bool DeviceConnection::Disconnect() {
    if (!connected)
        return false;
    // E_FAIL leaves the connection open, so the exit-time destructor tries
    // once more; any other result counts as closed.
    if (CeRapiUninitSlot() == E_FAIL)
        return false;
    connected = false;
    return true;
}

#define PELKO_RAPI_FORWARDER(name, result, failure, bindOrder, use, parameters, arguments)         \
    PELKO_RAPI_IF_FORWARDED_##use(result DeviceConnection::name parameters {                       \
        return name##Slot ? name##Slot arguments : failure;                                        \
    })
PELKO_RAPI_ENTRY_POINTS(PELKO_RAPI_FORWARDER)
#undef PELKO_RAPI_FORWARDER

HRESULT DeviceConnection::CeRapiInvoke(LPCWSTR dll, LPCWSTR function, DWORD inputSize, BYTE* input,
                                       DWORD* outputSize, BYTE** output, IRAPIStream** stream,
                                       DWORD reserved) {
    if (!CeRapiInvokeSlot) {
        ::LocalFree(input); // handed over by the caller, as to the Remote API
        return E_FAIL;
    }
    return CeRapiInvokeSlot(dll, function, inputSize, input, outputSize, output, stream, reserved);
}
