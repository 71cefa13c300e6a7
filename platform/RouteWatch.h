#pragma once

// Tells when this host's routes, neighbours or links have changed, from the kernel's own notices
// (rtnetlink), so that what was learnt from them is learnt again before it is used.
class RouteWatch {
public:
    RouteWatch();
    ~RouteWatch();
    RouteWatch(const RouteWatch &) = delete;
    RouteWatch &operator=(const RouteWatch &) = delete;

    // Whether anything changed since the last call (or since the watch began), without waiting;
    // always true when the kernel cannot be listened to.
    bool changed();

private:
    int m_fd = -1;
};
