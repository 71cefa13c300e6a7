#include "AsyncLookup.h"

#include "ping/EchoWait.h"
#include "platform/IcmpApi.h"
#include "platform/IcmpTypes.h"

#include <QCoreApplication>
#include <QEvent>
#include <mutex>
#include <pthread.h>
#include <system_error>
#include <thread>
#include <utility>

// The link between a lookup's worker and its owner: the owner's destructor cuts it, so that a
// worker finishing late posts to nobody.
struct AsyncLookup::Channel {
    std::mutex mutex;
    AsyncLookup *receiver = nullptr;
};

namespace {

class LookupDoneEvent : public QEvent {
public:
    LookupDoneEvent(uint32_t handle, uint16_t error, Sockets::HostEntry entry)
        : QEvent(type()), handle(handle), error(error), entry(std::move(entry))
    {
    }

    static QEvent::Type type()
    {
        static const auto registered = QEvent::Type(QEvent::registerEventType());
        return registered;
    }

    const uint32_t handle;
    const uint16_t error;
    const Sockets::HostEntry entry;
};

void resolve(const std::shared_ptr<AsyncLookup::Channel> &channel, uint32_t handle, const std::string &name,
             Sockets::Family family)
{
    Sockets::HostEntry entry;
    const uint16_t error = Sockets::gethostbyname(name, entry, family) ? 0 : uint16_t(Sockets::WSAGetLastError());
    std::lock_guard<std::mutex> lock(channel->mutex);
    if (channel->receiver)
        QCoreApplication::postEvent(channel->receiver, new LookupDoneEvent(handle, error, std::move(entry)));
}

uint32_t refuse(uint32_t error)
{
    IcmpApi::SetLastError(error);
    return 0;
}

} // namespace

AsyncLookup::AsyncLookup(QObject *parent) : QObject(parent), m_channel(std::make_shared<Channel>())
{
    m_channel->receiver = this;
}

// Completions already posted are removed by QObject's destructor, which runs after this one.
AsyncLookup::~AsyncLookup()
{
    std::lock_guard<std::mutex> lock(m_channel->mutex);
    m_channel->receiver = nullptr;
}

uint32_t AsyncLookup::start(const std::string &name, Sockets::Family family)
{
    if (Sockets::Testing::faults().failAsyncStart)
        return refuse(WSAENOBUFS);
    const uint32_t handle = m_nextHandle;
    try {
        std::thread worker(resolve, m_channel, handle, name, family);
        // Named before anyone may look for it.
        pthread_setname_np(worker.native_handle(), ThreadName);
        worker.detach();
    } catch (const std::system_error &) {
        return refuse(WSAENOBUFS);
    }
    m_nextHandle = m_nextHandle == UINT32_MAX ? 1 : m_nextHandle + 1;
    m_pending.insert(handle);
    IcmpApi::SetLastError(0);
    return handle;
}

int AsyncLookup::cancel(uint32_t handle)
{
    if (Sockets::Testing::faults().failAsyncCancel) {
        IcmpApi::SetLastError(WSAEALREADY);
        return -1;
    }
    if (m_pending.erase(handle) == 0) {
        IcmpApi::SetLastError(WSAEINVAL);
        return -1;
    }
    IcmpApi::SetLastError(0);
    return 0;
}

void AsyncLookup::customEvent(QEvent *event)
{
    if (event->type() != LookupDoneEvent::type())
        return;
    const auto *done = static_cast<const LookupDoneEvent *>(event);
    deliver(done->handle, done->error, done->entry);
}

void AsyncLookup::deliver(uint32_t handle, uint16_t error, const Sockets::HostEntry &entry)
{
    // Its owner would start an echo inside the one awaited; it stays pending, and cancellable, until then.
    if (EchoWait::active())
        return EchoWait::afterwards(this, [this, handle, error, entry] { deliver(handle, error, entry); });
    // A lookup that was cancelled meanwhile is no longer anyone's business.
    if (m_pending.erase(handle) == 0)
        return;
    if (onDone)
        onDone(handle, error, entry);
}
