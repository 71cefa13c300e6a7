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

// Held calls run once the thread is back in its event loop (the request that held them still has
// its result to report), and after the input that waited with them: a Stop pressed during the echo
// is taken before a held tick could start the next one.
void releaseHeld()
{
    if (t_held.empty())
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [held = std::exchange(t_held, {})] {
            QCoreApplication::processEvents();
            for (const Held &h : held)
                if (h.context)
                    h.call();
        },
        Qt::QueuedConnection);
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
