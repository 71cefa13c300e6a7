#pragma once
#include <QObject>
#include <functional>

// While one of a thread's echo requests is awaited, that thread's event loop may go on turning, so
// that its windows repaint, move and answer the window manager; user input waits in its queue for
// the echo's end. What would start another echo inside this one (a timer's tick, a finished lookup)
// is held back until then, as a wait that blocked the thread would have held it.
class EchoWait {
public:
    // The calling thread's requests turn its event loop while they wait; for the windows' thread.
    static void keepEventsTurning();
    // A request of the calling thread is awaited.
    static bool active();
    // Runs call in context's thread once no request of the calling thread is awaited any more (at
    // once when none is), unless context is gone by then.
    static void afterwards(QObject *context, std::function<void()> call);

    // Marks an echo request of the calling thread as awaited for the scope's lifetime.
    class Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;
    };
};
