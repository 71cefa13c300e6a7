#include "platform/IcmpApi.h"
#include "platform/IcmpPacket.h"

#include <QtTest>
#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// The echo module on loopback. Where the test may (as root) it works inside a network namespace
// of its own, made on a thread of its own: there it can let unprivileged ICMP sockets in, silence
// loopback and play the remote host itself. Nothing ever leaves 127.0.0.0/8.
using namespace IcmpApi;
using Bytes = std::vector<uint8_t>;

Q_DECLARE_METATYPE(IcmpApi::SocketKind)

namespace {

// The module is reached the way its users reach it: by name.
template <typename Fn> Fn entry(const char *name) {
    return reinterpret_cast<Fn>(GetProcAddress(LoadLibraryA(LibraryName), name));
}
const auto IcmpCreateFile = entry<IcmpCreateFileFn>("IcmpCreateFile");
const auto IcmpCloseHandle = entry<IcmpCloseHandleFn>("IcmpCloseHandle");
const auto IcmpSendEcho = entry<IcmpSendEchoFn>("IcmpSendEcho");

const uint32_t Localhost = htonl(0x7F000001);
const Bytes Pong = {'p', 'o', 'n', 'g', '!'};

uint32_t loopbackHost(uint8_t last) {
    return htonl(0x7F000000u | last);
}

Bytes operator+(Bytes head, const Bytes &tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

void writeSetting(const char *path, const char *value) {
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd >= 0 && write(fd, value, strlen(value)) < 0)
        qWarning("cannot write %s", path);
    if (fd >= 0)
        close(fd);
}

// Moves the calling thread into a new network namespace whose loopback is up and open to
// unprivileged ICMP sockets; silent: the kernel there answers no echo request. False when no
// namespace can be made; the settings are written only inside the new one.
bool enterOwnNetwork(bool silent) {
    if (unshare(CLONE_NEWNET) != 0)
        return false;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    if (ioctl(fd, SIOCGIFFLAGS, &request) == 0) {
        request.ifr_flags |= IFF_UP;
        if (ioctl(fd, SIOCSIFFLAGS, &request) != 0)
            qWarning("loopback stays down in the test's network namespace");
    }
    close(fd);
    writeSetting("/proc/sys/net/ipv4/ping_group_range", "0 2147483647");
    writeSetting("/proc/sys/net/ipv4/icmp_echo_ignore_all", silent ? "1" : "0");
    return true;
}

enum class Loopback { Answering, Silent };

// Runs body with an open echo handle of the given kind on a thread of its own; "" when it ran,
// else why not. An answering loopback falls back to this machine's own when no namespace can be
// made; a silent one cannot.
QString withHandle(SocketKind kind, Loopback loopback, const std::function<void(HANDLE)> &body) {
    QString why;
    std::thread([&] {
        if (!enterOwnNetwork(loopback == Loopback::Silent) && loopback == Loopback::Silent) {
            why = "silencing loopback needs a network namespace of our own (root)";
            return;
        }
        Testing::faults().forbidDatagram = kind == SocketKind::Raw;
        const HANDLE handle = IcmpCreateFile();
        if (handle == INVALID_HANDLE_VALUE || socketKindOf(handle) != kind)
            why = kind == SocketKind::Raw ? "raw ICMP sockets need CAP_NET_RAW"
                                          : "unprivileged ICMP sockets are not allowed here (ping_group_range)";
        else
            body(handle);
        if (handle != INVALID_HANDLE_VALUE)
            IcmpCloseHandle(handle);
        Testing::faults() = Testing::Faults();
    }).join();
    return why;
}

struct Echo {
    uint32_t result = 0;
    uint32_t lastError = 0;
    ICMP_ECHO_REPLY record;
    Bytes data;
    std::chrono::milliseconds elapsed{0};
};

Echo echo(HANDLE handle, const Bytes &payload, uint8_t ttl = 64, size_t replySize = 0, uint32_t timeoutMs = 2000) {
    IP_OPTION_INFORMATION options;
    options.Ttl = ttl;
    Bytes reply(replySize != 0 ? replySize : sizeof(ICMP_ECHO_REPLY) + payload.size(), 0xEE);
    Echo out;
    const auto start = std::chrono::steady_clock::now();
    out.result = IcmpSendEcho(handle, Localhost, payload.data(), uint16_t(payload.size()), &options, reply.data(),
                              uint32_t(reply.size()), timeoutMs);
    out.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    out.lastError = GetLastError();
    if (reply.size() >= sizeof out.record) {
        std::memcpy(&out.record, reply.data(), sizeof out.record);
        out.data.assign(reply.begin() + sizeof out.record, reply.begin() + sizeof out.record + out.record.DataSize);
    }
    return out;
}

Bytes icmpMessage(uint8_t type, uint8_t code, const Bytes &rest) {
    Bytes message = Bytes{type, code, 0, 0} + rest;
    const uint16_t sum = htons(IcmpPacket::checksum(message.data(), message.size()));
    std::memcpy(&message[2], &sum, 2);
    return message;
}

Bytes echoFields(uint16_t identifier, uint16_t sequence) {
    return {uint8_t(identifier >> 8), uint8_t(identifier), uint8_t(sequence >> 8), uint8_t(sequence)};
}

Bytes errorQuoting(uint8_t type, uint8_t code, uint16_t identifier, uint16_t sequence, uint32_t destination) {
    Bytes header = {0x45, 0, 0, 28, 0, 0, 0, 0, 64, 1, 0, 0};
    header = header + Bytes(4, 0) + Bytes(4, 0);
    std::memcpy(&header[12], &Localhost, 4);
    std::memcpy(&header[16], &destination, 4);
    const Bytes request = icmpMessage(IcmpPacket::EchoRequest, 0, echoFields(identifier, sequence));
    return icmpMessage(type, code, Bytes(4, 0) + header + request);
}

struct Scripted {
    uint32_t from;
    Bytes icmp;
};

struct SeenRequest {
    uint16_t identifier;
    uint16_t sequence;
    Bytes payload;
};

using Script = std::function<std::vector<Scripted>(const std::vector<SeenRequest> &)>;

// Plays the remote host on a silent loopback: waits for the given number of echo requests, then
// sends what the script makes of them, each packet from the address it names.
class Responder {
public:
    Responder(size_t requests, Script script) : m_fd(socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP)) {
        m_thread = std::thread([this, requests, script] {
            for (const Scripted &scripted : script(awaitRequests(requests)))
                send(scripted);
        });
    }
    ~Responder() {
        m_thread.join();
        close(m_fd);
    }

private:
    std::vector<SeenRequest> awaitRequests(size_t count) {
        std::vector<SeenRequest> seen;
        Bytes packet(65536);
        pollfd pfd{m_fd, POLLIN, 0};
        for (int wakeups = 0; wakeups < 50 && seen.size() < count && poll(&pfd, 1, 3000) > 0; ++wakeups) {
            const ssize_t len = recv(m_fd, packet.data(), packet.size(), 0);
            const auto request = IcmpPacket::decode(packet.data(), size_t(std::max<ssize_t>(len, 0)), true);
            const auto payload = packet.begin() + long(request.dataOffset);
            if (request.kind == IcmpPacket::Kind::EchoRequest)
                seen.push_back(
                    {request.identifier, request.sequence, Bytes(payload, payload + long(request.dataSize))});
        }
        return seen.size() == count ? seen : std::vector<SeenRequest>();
    }

    static void send(const Scripted &scripted) {
        const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = scripted.from;
        bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        address.sin_addr.s_addr = Localhost;
        sendto(fd, scripted.icmp.data(), scripted.icmp.size(), 0, reinterpret_cast<sockaddr *>(&address),
               sizeof address);
        close(fd);
    }

    int m_fd;
    std::thread m_thread;
};

Bytes echoReply(uint16_t identifier, uint16_t sequence, const Bytes &payload) {
    return icmpMessage(IcmpPacket::EchoReply, 0, echoFields(identifier, sequence) + payload);
}

} // namespace

class TestIcmpApi : public QObject {
    Q_OBJECT

    static void bothKinds() {
        QTest::addColumn<SocketKind>("kind");
        QTest::newRow("datagram") << SocketKind::Datagram;
        QTest::newRow("raw") << SocketKind::Raw;
    }

private slots:
    void cleanup() { Testing::faults() = Testing::Faults(); }

    void moduleAndEntryPoints() {
        QVERIFY(!LoadLibraryA("other.dll"));
        const HMODULE module = LoadLibraryA(LibraryName);
        QVERIFY(module);
        for (const char *entry : {"IcmpCreateFile", "IcmpCloseHandle", "IcmpSendEcho"}) {
            QVERIFY(GetProcAddress(module, entry));
            Testing::faults().missingEntry = entry;
            QVERIFY(!GetProcAddress(module, entry));
            Testing::faults().missingEntry = nullptr;
        }
        QVERIFY(!GetProcAddress(module, "IcmpSendEcho2"));
        Testing::faults().failLoadLibrary = true;
        QVERIFY(!LoadLibraryA(LibraryName));
        Testing::faults().failCreateFile = true;
        QCOMPARE(IcmpCreateFile(), INVALID_HANDLE_VALUE);
    }

    void echoesOnLoopback_data() { bothKinds(); }

    // The reply carries our data back; a request sent with TTL 17 that came back with TTL 17 would
    // be our own request taken for the reply.
    void echoesOnLoopback() {
        QFETCH(SocketKind, kind);
        Bytes payload(100);
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = uint8_t('A' + i % 26);
        Echo whole, cut;
        const QString why = withHandle(kind, Loopback::Answering, [&](HANDLE handle) {
            whole = echo(handle, payload, 17);
            cut = echo(handle, payload, 17, sizeof(ICMP_ECHO_REPLY) + 10);
        });
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        QCOMPARE(whole.result, 1u);
        QCOMPARE(whole.lastError, 0u);
        QCOMPARE(whole.record.Status, 0u);
        QCOMPARE(whole.record.Address, Localhost);
        QCOMPARE(whole.record.Data, 28u);
        QCOMPARE(whole.data, payload);
        QVERIFY(whole.record.RoundTripTime <= uint32_t(whole.elapsed.count()));
        QVERIFY(whole.record.Options.Ttl != 0 && whole.record.Options.Ttl != 17);
        QCOMPARE(cut.result, 1u);
        QCOMPARE(cut.data, Bytes(payload.begin(), payload.begin() + 10));
    }

    void refusesWhatCannotBeSent_data() { bothKinds(); }

    void refusesWhatCannotBeSent() {
        QFETCH(SocketKind, kind);
        Echo noTtl, tooSmall, closed;
        bool closedTwice = true;
        const QString why = withHandle(kind, Loopback::Answering, [&](HANDLE handle) {
            noTtl = echo(handle, Pong, 0);
            tooSmall = echo(handle, Pong, 64, sizeof(ICMP_ECHO_REPLY) - 1);
            const HANDLE other = IcmpCreateFile();
            IcmpCloseHandle(other);
            closed = echo(other, Pong);
            closedTwice = IcmpCloseHandle(other);
        });
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        QCOMPARE(noTtl.result, 0u);
        QCOMPARE(noTtl.lastError, uint32_t(IP_BAD_OPTION));
        QCOMPARE(noTtl.record.Status, uint32_t(IP_BAD_OPTION));
        QCOMPARE(tooSmall.lastError, uint32_t(IP_BUF_TOO_SMALL));
        QCOMPARE(closed.lastError, uint32_t(IP_BAD_REQ));
        QVERIFY(!closedTwice);
    }

    void silentHostTimesOut_data() { bothKinds(); }

    void silentHostTimesOut() {
        QFETCH(SocketKind, kind);
        Echo silent;
        const QString why =
            withHandle(kind, Loopback::Silent, [&](HANDLE handle) { silent = echo(handle, Pong, 64, 0, 300); });
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        QCOMPARE(silent.result, 0u);
        QCOMPARE(silent.lastError, uint32_t(IP_REQ_TIMED_OUT));
        QVERIFY(silent.elapsed >= std::chrono::milliseconds(300));
        QVERIFY(silent.elapsed < std::chrono::milliseconds(2000));
    }

    void onlyItsOwnReplyCounts_data() { bothKinds(); }

    // Each packet before the last lacks one proof that it answers our request: the sequence, the
    // identifier, the source, the destination an error quotes, or the payload it should echo
    // (other bytes, one byte short, one too many), which a forger who guessed the rest cannot know.
    void onlyItsOwnReplyCounts() {
        QFETCH(SocketKind, kind);
        const Bytes sent = Bytes(10, 'x') + Bytes(10, 'z');
        Echo answered;
        const QString why = withHandle(kind, Loopback::Silent, [&](HANDLE handle) {
            Responder host(1, [](const std::vector<SeenRequest> &requests) {
                if (requests.empty())
                    return std::vector<Scripted>();
                const uint16_t id = requests[0].identifier, seq = requests[0].sequence;
                const Bytes &echoed = requests[0].payload;
                Bytes otherBytes = echoed;
                otherBytes[5] ^= 1;
                return std::vector<Scripted>{
                    {Localhost, echoReply(id, uint16_t(seq + 1), echoed)},
                    {Localhost, echoReply(uint16_t(id + 1), seq, echoed)},
                    {loopbackHost(6), echoReply(id, seq, echoed)},
                    {loopbackHost(5), errorQuoting(3, 1, id, seq, loopbackHost(9))},
                    {loopbackHost(5), errorQuoting(3, 1, id, uint16_t(seq + 1), Localhost)},
                    {Localhost, echoReply(id, seq, otherBytes)},
                    {Localhost, echoReply(id, seq, Bytes(echoed.begin(), echoed.end() - 1))},
                    {Localhost, echoReply(id, seq, echoed + Bytes{'x'})},
                    {Localhost, echoReply(id, seq, echoed)}};
            });
            answered = echo(handle, sent);
        });
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        QCOMPARE(answered.result, 1u);
        QCOMPARE(answered.record.Address, Localhost);
        QCOMPARE(answered.data, sent);
    }

    void errorQuotingTheRequestEndsIt_data() { bothKinds(); }

    void errorQuotingTheRequestEndsIt() {
        QFETCH(SocketKind, kind);
        Echo failed;
        const QString why = withHandle(kind, Loopback::Silent, [&](HANDLE handle) {
            Responder router(1, [](const std::vector<SeenRequest> &requests) {
                std::vector<Scripted> script;
                for (const SeenRequest &request : requests)
                    script.push_back(
                        {loopbackHost(5), errorQuoting(11, 0, request.identifier, request.sequence, Localhost)});
                return script;
            });
            failed = echo(handle, Pong);
        });
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        QCOMPARE(failed.result, 0u);
        QCOMPARE(failed.lastError, uint32_t(IP_TTL_EXPIRED_TRANSIT));
        QCOMPARE(failed.record.Status, uint32_t(IP_TTL_EXPIRED_TRANSIT));
        QCOMPARE(failed.record.Address, loopbackHost(5));
        QVERIFY(failed.elapsed < std::chrono::milliseconds(1500));
    }

    void concurrentHandlesKeepTheirReplies_data() { bothKinds(); }

    // Every raw socket sees every reply: two handles in one process, with requests of the same
    // sequence number out at the same time, must not take each other's. The host answers the
    // later request first.
    void concurrentHandlesKeepTheirReplies() {
        QFETCH(SocketKind, kind);
        Echo answered[2];
        const QString why = withHandle(kind, Loopback::Silent, [&](HANDLE first) {
            Responder host(2, [](const std::vector<SeenRequest> &requests) {
                std::vector<Scripted> script;
                for (auto request = requests.rbegin(); request != requests.rend(); ++request)
                    script.push_back({Localhost, echoReply(request->identifier, request->sequence, request->payload)});
                return script;
            });
            const HANDLE second = IcmpCreateFile();
            std::thread other([&] { answered[1] = echo(second, Bytes(32, 'b'), 64, 0, 4000); });
            answered[0] = echo(first, Bytes(32, 'a'), 64, 0, 4000);
            other.join();
            IcmpCloseHandle(second);
        });
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        QCOMPARE(answered[0].data, Bytes(32, 'a'));
        QCOMPARE(answered[1].data, Bytes(32, 'b'));
    }
};

QTEST_GUILESS_MAIN(TestIcmpApi)
#include "tst_IcmpApi.moc"
