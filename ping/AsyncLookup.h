#pragma once
#include "platform/Sockets.h"

#include <QObject>
#include <functional>
#include <memory>
#include <set>

// The asynchronous host lookup: each lookup resolves on a worker thread and its completion is
// delivered on the thread that owns this object, through its event loop. A completion whose
// lookup was cancelled, or whose owner is gone, is never delivered.
class AsyncLookup : public QObject {
    Q_OBJECT
public:
    // Of each lookup's thread.
    static constexpr const char *ThreadName = "tozelo-lookup";

    explicit AsyncLookup(QObject *parent = nullptr);
    ~AsyncLookup() override;

    // Starts resolving name; returns the lookup's task handle (never 0), or 0 when it cannot be
    // started (the reason is then the last error).
    uint32_t start(const std::string &name, Sockets::Family family = Sockets::Family::IPv4);
    // 0 when handle was pending and is now cancelled; otherwise non-zero, with the last error set.
    int cancel(uint32_t handle);

    // (handle, error, entry): error is 0 or 11001 to 11004.
    std::function<void(uint32_t, uint16_t, const Sockets::HostEntry &)> onDone;

    struct Channel;

protected:
    void customEvent(QEvent *event) override;

private:
    void deliver(uint32_t handle, uint16_t error, const Sockets::HostEntry &entry);

    std::shared_ptr<Channel> m_channel;
    std::set<uint32_t> m_pending;
    uint32_t m_nextHandle = 1;
};
