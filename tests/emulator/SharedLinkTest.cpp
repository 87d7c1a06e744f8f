// The link's frames through shared memory: both ends in this process, on a
// pair of loopback sockets that stand for the connection.
#include "emulator/link/LinkProtocol.h"
#include "emulator/link/SharedLink.h"
#include "framework/JoinableThread.h"
#include "tests/emulator/LoopbackSocket.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using link::RecvResult;
using link::SharedLink;

// A connected pair of loopback sockets.
class SocketPair {
public:
    SocketPair() {
        SOCKET listener = NewTcpSocket();
        sockaddr_in address = LoopbackAddress();
        int length = sizeof address;
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener, 1);
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        pc = NewTcpSocket();
        connect(pc, reinterpret_cast<sockaddr*>(&address), sizeof address);
        device = accept(listener, nullptr, nullptr);
        closesocket(listener);
    }
    ~SocketPair() {
        CloseEnd(pc);
        CloseEnd(device);
    }
    static void CloseEnd(SOCKET& s) {
        if (s != INVALID_SOCKET)
            closesocket(s);
        s = INVALID_SOCKET;
    }

    WinsockInUse winsock;
    SOCKET pc = INVALID_SOCKET;
    SOCKET device = INVALID_SOCKET;
};

std::wstring UniqueName() {
    static int next = 0;
    return L"Local\\pelko-shared-link-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++next);
}

std::vector<uint8_t> Bytes(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

class SharedLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring name = UniqueName();
        device = SharedLink::Create(name, sockets.device);
        ASSERT_NE(nullptr, device);
        pc = SharedLink::Open(name, sockets.pc);
        ASSERT_NE(nullptr, pc);
    }

    SocketPair sockets;
    std::unique_ptr<SharedLink> device;
    std::unique_ptr<SharedLink> pc;
};

TEST_F(SharedLinkTest, CarriesFramesBothWaysInTurn) {
    // From empty to the largest frame; the device answers each with its own.
    const size_t sizes[] = {0, 1, 12, 4096, 131072 + 16, link::MaxFramePayload};
    JoinableThread deviceEnd([&] {
        std::vector<uint8_t> request;
        for (size_t size : sizes) {
            if (device->Receive(request) != RecvResult::Ok || request != Bytes(size, 1))
                return;
            device->Send(Bytes(size / 2, 2));
        }
    });
    std::vector<uint8_t> answer;
    for (size_t size : sizes) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(pc->Send(Bytes(size, 1)));
        ASSERT_EQ(RecvResult::Ok, pc->Receive(answer, 10000));
        EXPECT_EQ(Bytes(size / 2, 2), answer);
    }
}

TEST_F(SharedLinkTest, FrameLargerThanTheLinkCarriesIsRefused) {
    EXPECT_FALSE(pc->Send(Bytes(link::MaxFramePayload + 1, 0)));
}

TEST_F(SharedLinkTest, AnEndThatWaitsLearnsThatTheOtherClosedTheLink) {
    JoinableThread deviceEnd([&] {
        std::vector<uint8_t> request;
        if (device->Receive(request) == RecvResult::Ok)
            device->Close(); // no answer: the link drops
    });
    ASSERT_TRUE(pc->Send(Bytes(8, 3)));
    std::vector<uint8_t> answer;
    EXPECT_EQ(RecvResult::Closed, pc->Receive(answer, 10000));
    EXPECT_FALSE(pc->Send(Bytes(8, 3)));
}

TEST_F(SharedLinkTest, AClosedSocketIsAClosedLink) {
    JoinableThread deviceEnd([&] {
        std::vector<uint8_t> request;
        if (device->Receive(request) == RecvResult::Ok)
            SocketPair::CloseEnd(sockets.device); // the device went away
    });
    ASSERT_TRUE(pc->Send(Bytes(8, 4)));
    std::vector<uint8_t> answer;
    EXPECT_EQ(RecvResult::Closed, pc->Receive(answer, 10000));
}

TEST_F(SharedLinkTest, NoAnswerWithinTheTimeOutFails) {
    ASSERT_TRUE(pc->Send(Bytes(8, 5)));
    std::vector<uint8_t> answer;
    EXPECT_EQ(RecvResult::Failed, pc->Receive(answer, 200));
}

TEST(SharedLink, CannotBeOpenedWhereNoDeviceMadeIt) {
    SocketPair sockets;
    EXPECT_EQ(nullptr, SharedLink::Open(UniqueName(), sockets.pc));
}

} // namespace
