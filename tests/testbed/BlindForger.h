#pragma once
#include "TestbedTool.h"

#include <QtTest>

// A forger in the router's namespace who sees none of the client's packets (tests/tools/blind_forger):
// it sprays echo replies from a silent host toward the client, for every identifier with the first
// sequence numbers, each with the program's public payload, until this object goes.
class BlindForger : public TestbedTool {
public:
    static constexpr const char *SilentHost = "198.18.4.1";

    BlindForger() : TestbedTool("r", "blind_forger", {"--from", SilentHost, "--to", "198.18.1.1"}) {}

    // The rows of a test that meets it on each kind of ICMP socket: its column "helper" is true for
    // the helper's, false for a datagram socket.
    static void addSocketKinds()
    {
        QTest::addColumn<bool>("helper");
        QTest::newRow("datagram") << false;
        QTest::newRow("helper") << true;
    }
};
