#pragma once
// The one process-wide connection to the device: the Remote API entry points
// bound by name from rapi.dll, and whether a connection is open.
#include "device/RapiTypes.h"

class DeviceConnection {
public:
    static DeviceConnection& Instance();

    // True when a connection is open on return. Waits up to 4000 ms for the
    // device to answer.
    bool Connect();
    // True when an open connection was closed.
    bool Disconnect();

    // Forwarding operations: each calls the bound entry point of the same
    // name (device/RapiEntryPoints.h) and returns its result unchanged. An
    // unbound entry point is never called: the operation then returns the
    // failure value of the table. CeRapiInvoke also releases the input block
    // that it was handed, as the Remote API does.
#define PELKO_RAPI_OPERATION(name, result, failure, bindOrder, use, parameters, arguments)         \
    PELKO_RAPI_IF_OPERATION_##use(result name parameters;)
    PELKO_RAPI_ENTRY_POINTS(PELKO_RAPI_OPERATION)
#undef PELKO_RAPI_OPERATION

    DeviceConnection(const DeviceConnection&) = delete;
    DeviceConnection& operator=(const DeviceConnection&) = delete;

private:
    DeviceConnection();
    ~DeviceConnection();

    bool connected;
    // One slot per bound entry point, in field order; null while unbound.
#define PELKO_RAPI_SLOT(name, result, failure, bindOrder, use, parameters, arguments)              \
    PELKO_RAPI_IF_BOUND_##use(PFN_##name name##Slot = nullptr;)
    PELKO_RAPI_ENTRY_POINTS(PELKO_RAPI_SLOT)
#undef PELKO_RAPI_SLOT
};
