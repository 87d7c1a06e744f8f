#pragma once
// Move-only owners of device handles: a device file closed with
// CeCloseHandle and a device search closed with CeFindClose, both through the
// one DeviceConnection.
#include "device/DeviceConnection.h"
#include "framework/UniqueResource.h"

struct DeviceFileHandleTraits {
    using Value = HANDLE;
    static Value invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Value v) { DeviceConnection::Instance().CeCloseHandle(v); }
};

struct DeviceFindHandleTraits {
    using Value = HANDLE;
    static Value invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Value v) { DeviceConnection::Instance().CeFindClose(v); }
};

// CeCreateFile results: INVALID_HANDLE_VALUE when invalid.
using UniqueDeviceFile = UniqueResource<DeviceFileHandleTraits>;
// CeFindFirstFile searches: INVALID_HANDLE_VALUE when invalid.
using UniqueDeviceFind = UniqueResource<DeviceFindHandleTraits>;
