#pragma once
#include "ping/Ping.h"

#include <QtTest>

// Echo requests need an ICMP socket: a datagram one where ping_group_range allows it, else a raw one
// (CAP_NET_RAW). A test that pings calls this last in its initTestCase, and skips where neither opens.
inline void skipWithoutEchoSession()
{
    try {
        TPing probe;
    } catch (const TICMPException &e) {
        QSKIP(qPrintable(QString("no ICMP socket can be opened here (needs ping_group_range or CAP_NET_RAW): ") +
                         e.what()));
    }
}
