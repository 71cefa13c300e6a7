#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// What every echo request of the program has in common, whichever part sends it: the payload, the
// size limit, the settings the windows and the commands start with, and the texts of the status a
// request ends with.
// An echo session or a sweep that cannot be set up.
class TICMPException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace EchoTerms {

constexpr const char *PayloadText = "Pinging from Tozelo code written by T. Gorvan";
constexpr int MaxSize = 65500;

constexpr int DefaultSize = 56;
constexpr int DefaultTTL = 64;
constexpr int DefaultTimeoutMs = 500;
// The re-ping walk's: one entry a time-out.
constexpr int DefaultRePingTimeoutMs = 200;

// The request payload for a given size: the text, cut or padded with spaces.
std::vector<uint8_t> payloadOf(int size);

// The text of an IP_STATUS code; a code without a name is "ICMP error #" and its number.
std::string errorText(int code);

} // namespace EchoTerms
