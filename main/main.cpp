#include "Forms.h"

#include <cstring>
#include <iostream>

namespace {

// The manual page is made from this text when the program is built.
const char *const Usage = "Usage: tozelo [QT-OPTION]...\n"
                          "  or:  tozelo --help\n"
                          "  or:  tozelo --version\n"
                          "Open the Tozelo window: ping one host, or every IPv4 address of a range one\n"
                          "per timer tick, list the machines that answer, save and load that list as a\n"
                          "text file, and ping the listed machines again. Its fast sweep page pings\n"
                          "whole address blocks of either family at once, many requests in flight, and\n"
                          "exports what answered as CSV or JSON. The window needs a display;\n"
                          "Qt's own options, such as -platform NAME or -style NAME, are passed to Qt.\n"
                          "tozelo-cli runs the same pings from a terminal.\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help  Show this text and exit.\n"
                          "  --version   Show the version and exit.\n"
                          "\n"
                          "Privileges:\n"
                          "  The window sends on ICMP datagram sockets where the system lets this user's\n"
                          "  group open them (net.ipv4.ping_group_range); elsewhere its pings go through\n"
                          "  tozelo-icmp, a small helper installed with it and the one file given the\n"
                          "  capability CAP_NET_RAW, which gives up every privilege before it sends the\n"
                          "  requests it builds itself. The window holds no capability: run by root, it\n"
                          "  gives them up before Qt starts. Where datagram sockets are refused, its fast\n"
                          "  sweep needs it run by root, and opens its raw sockets before that.\n"
                          "\n"
                          "Exit status:\n"
                          "  0 when the window was closed, 1 when the start-up failed; a message box\n"
                          "  says why.\n"
                          "\n"
                          "Examples:\n"
                          "  $ tozelo\n"
                          "  $ tozelo -platform wayland\n";

const char *const Version = "tozelo " TOZELO_VERSION "\n" TOZELO_COPYRIGHT "\n"
                            "This is free software under the " TOZELO_LICENSE " License; there is NO WARRANTY.\n";

} // namespace

int main(int argc, char *argv[])
{
    // Answered before anything of Qt starts, so that they work without a display.
    const char *const first = argc > 1 ? argv[1] : "";
    if (std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0) {
        std::cout << Usage;
        return 0;
    }
    if (std::strcmp(first, "--version") == 0) {
        std::cout << Version;
        return 0;
    }
    return runTozelo(argc, argv);
}
