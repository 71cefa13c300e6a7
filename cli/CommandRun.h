#pragma once
#include <functional>

// How every command ends when it cannot go on: a usage error (status 2) or a failure to use ICMP or
// a file (status 1), told in one line on standard error.
namespace CommandRun {

// The status body returns, or the one its exception calls for, told.
int reporting(const std::function<int()> &body);

} // namespace CommandRun
