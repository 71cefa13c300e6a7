#include "BackgroundSweep.h"

#include <exception>
#include <pthread.h>
#include <utility>

BackgroundSweep::BackgroundSweep(SweepTargets targets, const Sweep::Settings &settings, std::function<void()> finished)
    : m_targets(std::move(targets)), m_sweep(std::make_unique<Sweep>(m_targets, settings)),
      m_finished(std::move(finished))
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
}

void BackgroundSweep::run()
{
    pthread_setname_np(pthread_self(), ThreadName);
    std::string failure;
    try {
        m_sweep->run();
    } catch (const std::exception &e) {
        failure = e.what();
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_news.finished = true;
        m_news.failure = failure;
    }
    if (m_finished)
        m_finished();
}

BackgroundSweep::News BackgroundSweep::take()
{
    News news;
    const std::lock_guard<std::mutex> lock(m_mutex);
    news.answers.swap(m_news.answers);
    news.progress = m_news.progress;
    news.finished = m_news.finished;
    news.failure = m_news.failure;
    return news;
}

SweepReport BackgroundSweep::report() const
{
    return SweepReport::of(*m_sweep);
}
