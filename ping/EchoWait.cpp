#include "EchoWait.h"

#include "platform/IcmpApi.h"

#include <QCoreApplication>
#include <QPointer>
#include <utility>
#include <vector>

namespace {
// Short enough that a repaint or a move is never a visible stall.
constexpr int TurnMs = 10;

struct Held {
    QPointer<QObject> context;
    std::function<void()> call;
};

thread_local int t_depth = 0;
thread_local std::vector<Held> t_held;

// Held calls are posted, not run: the request that held them still has its result to report.
void releaseHeld()
{
    std::vector<Held> held;
    held.swap(t_held);
    for (Held &h : held)
        if (h.context)
            QMetaObject::invokeMethod(h.context, std::move(h.call), Qt::QueuedConnection);
}
} // namespace

void EchoWait::keepEventsTurning()
{
    IcmpApi::SetWaitTurns(TurnMs, [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

bool EchoWait::active()
{
    return t_depth > 0;
}

void EchoWait::afterwards(QObject *context, std::function<void()> call)
{
    if (!active())
        return call();
    t_held.push_back({context, std::move(call)});
}

EchoWait::Scope::Scope()
{
    ++t_depth;
}

EchoWait::Scope::~Scope()
{
    if (--t_depth == 0)
        releaseHeld();
}
