#pragma once
#include <functional>
#include <stdexcept>
#include <string>

// How every command ends when it cannot go on: a usage error (status 2), a failure to use ICMP, a
// file or the system (failedStatus), or a failure that calls for a status of its own, told in one
// line on standard error.
namespace CommandRun {

struct Failure : std::runtime_error {
    Failure(int status, const std::string &what) : std::runtime_error(what), status(status) {}
    const int status;
};

// The status body returns, or the one its exception calls for, told.
int reporting(const std::function<int()> &body, int failedStatus = 1);

} // namespace CommandRun
