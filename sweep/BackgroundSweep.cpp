#include "BackgroundSweep.h"

#include <exception>
#include <pthread.h>
#include <utility>

BackgroundSweep::BackgroundSweep(SweepTargets targets, const Sweep::Settings &settings, std::function<void()> finished,
                                 Searches searches)
    : m_targets(std::move(targets)), m_sweep(std::make_unique<Sweep>(m_targets, settings)),
      m_finished(std::move(finished)), m_searches(std::move(searches))
{
    m_sweep->onProgress = [this](const Sweep::Progress &progress) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_news.progress = progress;
    };
    // On the senders' threads, at their own pace.
    m_sweep->onAnswers = [this](const Sweep::Answer *answers, size_t count) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_news.answers.insert(m_news.answers.end(), answers, answers + count);
    };
    m_sweep->open();
    m_thread = std::thread(&BackgroundSweep::run, this);
}

BackgroundSweep::~BackgroundSweep()
{
    stop();
    m_thread.join();
}

void BackgroundSweep::stop()
{
    m_stopped = true;
    m_sweep->stop();
    for (const std::unique_ptr<PresenceSearch> &each : m_searches)
        each->stop();
}

void BackgroundSweep::run()
{
    pthread_setname_np(pthread_self(), ThreadName);
    std::string failure;
    std::vector<std::string> shortfalls;
    try {
        m_sweep->run();
        shortfalls = search();
    } catch (const std::exception &e) {
        failure = e.what();
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_news.finished = true;
        m_news.failure = failure;
        m_news.shortfalls = std::move(shortfalls);
    }
    if (m_finished)
        m_finished();
}

// A sweep that was stopped searches no further.
std::vector<std::string> BackgroundSweep::search()
{
    m_report = SweepReport::of(*m_sweep);
    m_report.withPresence = !m_searches.empty();
    std::vector<std::string> shortfalls;
    if (m_stopped)
        return shortfalls;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_news.searching = !m_searches.empty();
    }
    for (const std::unique_ptr<PresenceSearch> &each : m_searches) {
        if (m_stopped)
            break;
        each->run(*m_sweep, m_report);
        for (std::string &told : each->shortfalls())
            shortfalls.push_back(std::move(told));
    }
    return shortfalls;
}

BackgroundSweep::News BackgroundSweep::take()
{
    News news;
    const std::lock_guard<std::mutex> lock(m_mutex);
    news.answers.swap(m_news.answers);
    news.progress = m_news.progress;
    news.searching = m_news.searching;
    news.finished = m_news.finished;
    news.failure = m_news.failure;
    news.shortfalls = m_news.shortfalls;
    return news;
}
