// The wire format itself, and devicesim as seen by raw connections: malformed
// frames close only their own connection, the last error is per connection,
// and --help names every option.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emulator/link/LinkProtocol.h"
#include "emulator/link/LinkSocket.h"
#include "tests/emulator/LoopbackSocket.h"
#include "tests/support/DeviceSim.h"
#include "tests/support/FileTree.h"
#include "tests/support/TempDir.h"

using link::Op;
using testsupport::DeviceSim;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<uint32_t> words) {
    link::Writer w;
    for (uint32_t v : words)
        w.U32(v);
    return w.Data();
}

TEST(LinkReader, ChecksEveryFieldAgainstWhatIsLeft) {
    link::Writer w;
    w.U32(7);
    w.String(L"\\Mounted Volume");
    w.Bytes("abc", 3);
    w.U64(0x1122334455667788ull);
    std::vector<uint8_t> data = w.Data();

    link::Reader r(data.data(), data.size());
    uint32_t v = 0;
    std::wstring s;
    const uint8_t* bytes = nullptr;
    uint32_t count = 0;
    uint64_t big = 0;
    EXPECT_TRUE(r.U32(v) && r.String(s, 259) && r.Bytes(bytes, count, 16) && r.U64(big));
    EXPECT_TRUE(r.Done());
    EXPECT_EQ(7u, v);
    EXPECT_EQ(L"\\Mounted Volume", s);
    EXPECT_EQ(0, memcmp(bytes, "abc", 3));
    EXPECT_EQ(0x1122334455667788ull, big);

    // Every truncation fails, and a failed read poisons the rest.
    for (size_t cut = 0; cut < data.size(); ++cut) {
        link::Reader t(data.data(), cut);
        bool all = t.U32(v) && t.String(s, 259) && t.Bytes(bytes, count, 16) && t.U64(big);
        EXPECT_FALSE(all) << cut;
        EXPECT_FALSE(t.Ok());
    }
    // Trailing bytes are not Done.
    data.push_back(0);
    link::Reader extra(data.data(), data.size());
    extra.U32(v);
    extra.String(s, 259);
    extra.Bytes(bytes, count, 16);
    extra.U64(big);
    EXPECT_TRUE(extra.Ok());
    EXPECT_FALSE(extra.Done());
}

TEST(LinkReader, RejectsOverlongStringsEmbeddedZerosAndHugeCounts) {
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        bool countTooBig;
    } cases[] = {
        {"string longer than allowed",
         [] {
             link::Writer w;
             w.String(std::wstring(260, L'a'));
             return w.Data();
         }(),
         false},
        {"embedded zero",
         [] {
             link::Writer w;
             w.String(std::wstring(L"a\0b", 3));
             return w.Data();
         }(),
         false},
        {"count beyond the data", Bytes({0x7FFFFFFF}), true},
        {"count of 4 GiB", Bytes({0xFFFFFFFF, 0}), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        link::Reader r(c.data.data(), c.data.size());
        std::wstring s;
        EXPECT_FALSE(r.String(s, 259));
        link::Reader b(c.data.data(), c.data.size());
        const uint8_t* bytes = nullptr;
        uint32_t count = 0;
        if (c.countTooBig) {
            EXPECT_FALSE(b.Bytes(bytes, count, link::MaxDataChunk));
        }
    }
}

// A raw connection to devicesim.
class RawLink {
public:
    explicit RawLink(unsigned port) {
        socket_ = NewTcpSocket();
        sockaddr_in a = LoopbackAddress(port);
        connected_ = connect(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        link::SetTimeouts(socket_, 10000);
    }
    ~RawLink() { closesocket(socket_); }
    bool Connected() const { return connected_; }
    bool Hello() {
        std::vector<uint8_t> answer;
        return Send(
                   Bytes({static_cast<uint32_t>(Op::Hello), link::LinkMagic, link::LinkVersion})) &&
               link::RecvFrame(socket_, answer) == link::RecvResult::Ok && answer.size() == 16;
    }
    bool Send(const std::vector<uint8_t>& payload) { return link::SendFrame(socket_, payload); }
    bool SendRaw(const std::vector<uint8_t>& bytes) {
        return ::send(socket_, reinterpret_cast<const char*>(bytes.data()),
                      static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size());
    }
    // The answer's result and last error; false when the device closed.
    bool Answer(uint32_t& result, uint32_t& error) {
        std::vector<uint8_t> answer;
        if (link::RecvFrame(socket_, answer) != link::RecvResult::Ok)
            return false;
        link::Reader r(answer.data(), answer.size());
        uint32_t op = 0;
        return r.U32(op) && r.U32(result) && r.U32(error);
    }
    bool ClosedByDevice() {
        std::vector<uint8_t> answer;
        return link::RecvFrame(socket_, answer) != link::RecvResult::Ok;
    }
    // The link is open and nothing has arrived on it: no answer, no close.
    bool OpenWithNothingToRead() {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket_, &readable);
        timeval now{0, 0};
        return select(0, &readable, nullptr, nullptr, &now) == 0;
    }
    bool Request(Op op, const std::wstring& path, uint32_t& result, uint32_t& error) {
        link::Writer w;
        w.U32(static_cast<uint32_t>(op));
        w.String(path);
        return Send(w.Data()) && Answer(result, error);
    }

private:
    WinsockInUse winsock_; // outlives the socket
    SOCKET socket_ = INVALID_SOCKET;
    bool connected_ = false;
};

TEST(DeviceSimWire, MalformedFramesCloseOnlyTheirConnection) {
    DeviceSim device;
    ASSERT_TRUE(device.Started()) << device.Error();
    RawLink healthy(device.Port());
    ASSERT_TRUE(healthy.Connected());
    ASSERT_TRUE(healthy.Hello());

    auto path = [](uint32_t op, uint32_t units, std::vector<uint16_t> text) {
        link::Writer w;
        w.U32(op);
        w.U32(units);
        std::vector<uint8_t> d = w.Data();
        for (uint16_t c : text) {
            d.push_back(static_cast<uint8_t>(c));
            d.push_back(static_cast<uint8_t>(c >> 8));
        }
        return d;
    };
    const uint32_t mkdir = static_cast<uint32_t>(Op::CreateDirectory);
    struct Case {
        const char* name;
        bool handshake;
        std::vector<uint8_t> raw; // sent as it is, length prefix included
    } cases[] = {
        {"oversized length", true, Bytes({link::MaxFramePayload + 1})},
        {"4 GiB length", true, Bytes({0xFFFFFFFF})},
        {"no handshake first", false, Bytes({4, mkdir})},
        {"wrong magic", false, Bytes({12, 1, 0x12345678, link::LinkVersion})},
        {"unknown operation", true, Bytes({4, 999})},
        {"empty payload", true, Bytes({0})},
        {"string past the end", true,
         [&] {
             auto d = path(mkdir, 50, {'\\', 'a'});
             auto f = Bytes({static_cast<uint32_t>(d.size())});
             f.insert(f.end(), d.begin(), d.end());
             return f;
         }()},
        {"embedded zero", true,
         [&] {
             auto d = path(mkdir, 3, {'\\', 0, 'a'});
             auto f = Bytes({static_cast<uint32_t>(d.size())});
             f.insert(f.end(), d.begin(), d.end());
             return f;
         }()},
        {"over-long path", true,
         [&] {
             auto d = path(mkdir, 400, std::vector<uint16_t>(400, 'a'));
             auto f = Bytes({static_cast<uint32_t>(d.size())});
             f.insert(f.end(), d.begin(), d.end());
             return f;
         }()},
        {"trailing bytes", true,
         [&] {
             auto d = path(mkdir, 2, {'\\', 'a', 0x4141});
             auto f = Bytes({static_cast<uint32_t>(d.size())});
             f.insert(f.end(), d.begin(), d.end());
             return f;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawLink bad(device.Port());
        ASSERT_TRUE(bad.Connected());
        if (c.handshake) {
            ASSERT_TRUE(bad.Hello());
        }
        ASSERT_TRUE(bad.SendRaw(c.raw));
        EXPECT_TRUE(bad.ClosedByDevice());
        uint32_t result = 0, error = 0;
        ASSERT_TRUE(healthy.Request(Op::GetFileAttributes, L"\\", result, error));
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, result);
    }
    EXPECT_FALSE(testsupport::FolderExists(device.StoragePath(L"\\a")));
    EXPECT_TRUE(device.Running());
}

TEST(DeviceSimWire, LastErrorBelongsToEachConnection) {
    DeviceSim device;
    ASSERT_TRUE(device.Started()) << device.Error();
    RawLink first(device.Port()), second(device.Port());
    ASSERT_TRUE(first.Hello());
    ASSERT_TRUE(second.Hello());
    uint32_t result = 0, error = 0;
    ASSERT_TRUE(first.Request(Op::DeleteFile, L"\\missing.txt", result, error));
    EXPECT_EQ(0u, result);
    EXPECT_EQ(static_cast<uint32_t>(ERROR_FILE_NOT_FOUND), error);
    ASSERT_TRUE(second.Request(Op::CreateDirectory, L"\\..\\x", result, error));
    EXPECT_EQ(static_cast<uint32_t>(ERROR_ACCESS_DENIED), error);
    // A success leaves the connection's last error as it was.
    ASSERT_TRUE(first.Request(Op::CreateDirectory, L"\\d", result, error));
    EXPECT_EQ(1u, result);
    EXPECT_EQ(static_cast<uint32_t>(ERROR_FILE_NOT_FOUND), error);
    ASSERT_TRUE(second.Request(Op::GetFileAttributes, L"\\d", result, error));
    EXPECT_EQ(static_cast<uint32_t>(ERROR_ACCESS_DENIED), error);
}

// Waits until the device's log holds `text` `count` times (devicesim writes
// each line as it handles the request).
bool LogShows(const DeviceSim& device, const std::string& text, size_t count = 1) {
    constexpr DWORD TimeoutMs = 10000;
    const DWORD start = GetTickCount();
    for (;;) {
        const std::string log = device.LogText();
        size_t found = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++found;
        if (found >= count)
            return true;
        if (GetTickCount() - start > TimeoutMs)
            return false;
        Sleep(10);
    }
}

TEST(DeviceSimWire, StallAfterAnswersThatManyRequestsThenNeverTheNextOne) {
    DeviceSim device({L"--stall-after", L"2"});
    ASSERT_TRUE(device.Started()) << device.Error();
    auto stalled = std::make_unique<RawLink>(device.Port());
    RawLink other(device.Port());
    ASSERT_TRUE(stalled->Hello()); // handshakes are not requests
    ASSERT_TRUE(other.Hello());

    // Requests 1 and 2, on either link, are answered.
    uint32_t result = 0, error = 0;
    ASSERT_TRUE(stalled->Request(Op::CreateDirectory, L"\\first", result, error));
    EXPECT_EQ(1u, result);
    ASSERT_TRUE(other.Request(Op::CreateDirectory, L"\\second", result, error));
    EXPECT_EQ(1u, result);

    // Request 3 is received and neither carried out nor answered.
    link::Writer third;
    third.U32(static_cast<uint32_t>(Op::CreateDirectory));
    third.String(L"\\third");
    ASSERT_TRUE(stalled->Send(third.Data()));
    ASSERT_TRUE(LogShows(device, "CreateDirectory STALLED")) << device.LogText();

    // The device itself goes on: request 4 on the other link is answered, and
    // so is a fifth; only the one request stalls.
    ASSERT_TRUE(other.Request(Op::CreateDirectory, L"\\fourth", result, error));
    EXPECT_EQ(1u, result);
    ASSERT_TRUE(other.Request(Op::GetFileAttributes, L"\\fourth", result, error));
    EXPECT_NE(0u, result & FILE_ATTRIBUTE_DIRECTORY);

    // The stalled link has neither an answer nor a close on it.
    EXPECT_TRUE(stalled->OpenWithNothingToRead());
    EXPECT_FALSE(testsupport::FolderExists(device.StoragePath(L"\\third")));
    for (const wchar_t* done : {L"\\first", L"\\second", L"\\fourth"})
        EXPECT_TRUE(testsupport::FolderExists(device.StoragePath(done))) << testsupport::Utf8(done);

    // When the PC gives up and closes the link, the device notes the close.
    stalled.reset();
    EXPECT_TRUE(LogShows(device, " closed; ")) << device.LogText();
    EXPECT_TRUE(device.Running());
}

// Runs devicesim with the arguments; its exit code and what it printed.
DWORD RunDeviceSim(const std::wstring& args, std::string& output) {
    testsupport::TempDir temp;
    std::wstring out = temp / L"output.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0xFFFFFFFF;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    std::wstring command = L"\"" + DeviceSim::DeviceSimExe() + L"\" " + args;
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(0);
    PROCESS_INFORMATION info{};
    BOOL created = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                  nullptr, nullptr, &startup, &info);
    CloseHandle(file);
    if (!created)
        return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    else
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    output = testsupport::ReadFileBytes(out);
    return code;
}

TEST(DeviceSimCommandLine, HelpNamesEveryOption) {
    std::string help;
    ASSERT_EQ(0u, RunDeviceSim(L"--help", help));
    for (const char* option :
         {"--storage", "--port", "--port-file", "--capacity", "--cluster", "--latency-ms", "--rate",
          "--fail-write", "--drop-after", "--stall-after", "--no-handshake", "--log", "--help"})
        EXPECT_NE(std::string::npos, help.find(option)) << option;
}

TEST(DeviceSimCommandLine, MalformedCommandLinesAreRefused) {
    testsupport::TempDir storage;
    std::wstring s = L"--storage \"" + storage.Path() + L"\" ";
    const std::wstring lines[] = {
        L"",                  // --storage missing
        L"--storage",         // its value missing
        s + L"--port 65536",  // out of range
        s + L"--port 12x",    // not a number
        s + L"--capacity -1", // negative
        s + L"--fail-write 99999999999999999999999",
        s + L"--latency-ms",
        s + L"--stall-after",
        s + L"--stall-after -1",
        s + L"--cluster 4096",               // no --capacity to count against
        s + L"--capacity 65536 --cluster 0", // no cluster size
        s + L"--capacity 65536 --cluster 2147483648",
        s + L"--bogus",
        L"--storage \"" + storage.Path() + L"\\missing\" --port 0",
    };
    for (const auto& line : lines) {
        SCOPED_TRACE(testsupport::Utf8(line));
        std::string output;
        EXPECT_EQ(2u, RunDeviceSim(line, output)) << output;
    }
}

TEST(DeviceSimCommandLine, SlowLinkOptionsStillServe) {
    DeviceSim device({L"--latency-ms", L"2", L"--rate", L"2000000"});
    ASSERT_TRUE(device.Started()) << device.Error();
    RawLink raw(device.Port());
    ASSERT_TRUE(raw.Hello());
    uint32_t result = 0, error = 0;
    ASSERT_TRUE(raw.Request(Op::CreateDirectory, L"\\Mounted Volume", result, error));
    EXPECT_EQ(1u, result);
    EXPECT_TRUE(testsupport::FolderExists(device.StoragePath(L"\\Mounted Volume")));
    EXPECT_NE(std::string::npos, device.LogText().find("CreateDirectory \\Mounted Volume -> 1"));
}

} // namespace
