// devicesim: an emulated Windows CE device. It serves a storage folder as the
// device's file system to our rapi.dll over TCP on 127.0.0.1.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "emulator/device/DeviceOptions.h"
#include "emulator/device/DeviceSession.h"
#include "emulator/device/DeviceStats.h"
#include "emulator/device/DeviceStorage.h"
#include "emulator/link/Utf8.h"
#include "framework/JoinableThread.h"

namespace {

BOOL WINAPI OnConsoleEvent(DWORD) {
    TheStats().Log("ending; " + TheStats().Summary());
    TheStats().Print(stdout);
    ExitProcess(0);
    return TRUE;
}

bool WritePortFile(const std::wstring& path, unsigned port) {
    // Written aside and renamed, so a reader never sees half a number.
    std::wstring temp = path + L".tmp";
    FILE* f = _wfopen(temp.c_str(), L"w");
    if (f == nullptr)
        return false;
    fprintf(f, "%u\n", port);
    bool ok = fclose(f) == 0;
    return ok && MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[4 * MAX_PATH];
    DWORD n = GetFullPathNameW(path.c_str(), ARRAYSIZE(full), full, nullptr);
    if (n == 0 || n >= ARRAYSIZE(full))
        return {};
    std::wstring f(full, n);
    while (f.size() > 3 && (f.back() == L'\\' || f.back() == L'/'))
        f.pop_back();
    return f;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    static DeviceOptions options;
    std::string error;
    if (!ParseDeviceOptions(argc, argv, options, error)) {
        fprintf(stderr, "devicesim: %s\n\n%s", error.c_str(), DeviceUsage);
        return 2;
    }
    if (options.help) {
        fputs(DeviceUsage, stdout);
        return 0;
    }
    DeviceStorage& storage = TheStorage();
    storage.root = FullPath(options.storage);
    DWORD attributes = GetFileAttributesW(storage.root.c_str());
    if (storage.root.empty() || attributes == INVALID_FILE_ATTRIBUTES ||
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        fprintf(stderr, "devicesim: storage folder %s does not exist\n",
                link::Utf8(options.storage).c_str());
        return 2;
    }
    storage.hasCapacity = options.hasCapacity;
    storage.capacity = options.capacity;
    storage.cluster = options.cluster;
    if (!options.logFile.empty() && !TheStats().OpenLog(options.logFile)) {
        fprintf(stderr, "devicesim: cannot open log %s\n", link::Utf8(options.logFile).c_str());
        return 2;
    }

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        fprintf(stderr, "devicesim: no sockets\n");
        return 1;
    }
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(options.port));
    if (listener == INVALID_SOCKET ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, SOMAXCONN) != 0) {
        fprintf(stderr, "devicesim: cannot listen on 127.0.0.1:%u (error %d)\n", options.port,
                WSAGetLastError());
        return 1;
    }
    int length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    unsigned port = ntohs(address.sin_port);
    if (!options.portFile.empty() && !WritePortFile(options.portFile, port)) {
        fprintf(stderr, "devicesim: cannot write port file\n");
        return 1;
    }
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    printf("devicesim: serving %s on 127.0.0.1:%u\n", link::Utf8(storage.root).c_str(), port);
    fflush(stdout);
    TheStats().Log("listening on 127.0.0.1:" + std::to_string(port) + ", storage " +
                   link::Utf8(storage.root));

    uint32_t nextId = 1;
    for (;;) {
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            Sleep(10);
            continue;
        }
        uint32_t id = nextId++;
        JoinableThread([client, id]() {
            DeviceSession session(client, id, options);
            session.Run();
            closesocket(client);
        }).Detach();
    }
}
