// The Monitor: its chart drawn again for 100 machines over a day, and the page first drawn on a
// history of 1,000 machines over a week, read off the window's thread.
#include "OffscreenMain.h"
#include "history/HistoryStore.h"
#include "main/MonitorChart.h"
#include "main/MonitorHistory.h"
#include "main/MonitorPage.h"
#include "main/MonitorRowModel.h"
#include "main/Unit1.h"
#include "platform/HelperProcess.h"
#include "ui/HistoryFile.h"
#include "ui/TestSeams.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {
constexpr int Runs = 30;
constexpr int64_t Now = 1714564800000; // 2024-05-01T12:00:00Z
constexpr int64_t DayMs = 24 * HistoryStore::HourMs;
// A walk over 1,000 machines asks each one every 200 s; the minutes older than a day are figures.
constexpr int Machines = 1000;
constexpr int64_t AskedEveryMs = 200000;
constexpr int64_t FigureEveryMs = 5 * HistoryStore::MinuteMs;

struct FixedClock : WallClock {
    int64_t nowMs() const override { return Now; }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string machineName(int n)
{
    return "10.2." + std::to_string(n / 256) + "." + std::to_string(n % 256);
}

uint32_t rttOf(int machine, int64_t at)
{
    return uint32_t(1 + (machine * 7 + at / 1000) % 90);
}

void benchRedraw()
{
    MonitorChart chart;
    chart.resize(800, 400);
    const int64_t period = MonitorHistory::periodOf(MonitorHistory::Span::Day);
    std::vector<MonitorChart::Series> series;
    for (int m = 0; m < 100; ++m) {
        MonitorChart::Series one{QString::fromStdString(machineName(m)), {}};
        for (int64_t start = Now - DayMs; start < Now; start += period) {
            const uint32_t rtt = rttOf(m, start);
            one.periods.push_back({start, 60, start % 7 == 0 ? 3 : 0, rtt / 2 + 1, rtt, rtt * 2});
        }
        series.push_back(std::move(one));
    }
    std::vector<double> times;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        chart.setSeries(series, Now - DayMs - run, Now - run, period);
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("chart of 100 machines x a day (144 periods each), 800 x 400, redraw: median %.2f ms, worst %.2f ms "
                "over %d runs (target <= 16 ms)\n",
                median(times), *std::max_element(times.begin(), times.end()), Runs);
}

void fillWeek(const std::string &file)
{
    HistoryStore store(file);
    for (int m = 0; m < Machines; ++m) {
        const std::string name = machineName(m);
        std::vector<HistoryAnswer> answers;
        for (int64_t at = Now - DayMs + m * 200; at < Now; at += AskedEveryMs)
            answers.push_back({name, at, true, rttOf(m, at), {}});
        store.append(answers);
        std::vector<HistoryFigures> minutes;
        for (int64_t start = Now - 7 * DayMs; start < Now - DayMs; start += FigureEveryMs) {
            const uint32_t rtt = rttOf(m, start);
            minutes.push_back({start, 1, 0, rtt, rtt, rtt});
        }
        store.transaction([&] { store.addFigures(name, HistoryStore::MinuteMs, minutes); });
    }
}

template <typename Done> double msUntil(const QElapsedTimer &clock, Done done)
{
    while (!done() && clock.elapsed() < 120000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return clock.nsecsElapsed() / 1e6;
}

void benchFirstDraw()
{
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    QElapsedTimer filling;
    filling.start();
    fillWeek(HistoryFile::path().toStdString());
    std::printf("a week of %d machines written in %.1f s\n", Machines, filling.elapsed() / 1000.0);

    FixedClock clock;
    TestSeams::instance().clock = &clock;
    TForm1 form;
    form.show();
    QApplication::processEvents();
    MonitorPage &page = form.monitor();
    page.spanBox->setCurrentIndex(int(MonitorHistory::Span::Week));
    QElapsedTimer shown;
    shown.start();
    form.Monitor1->trigger();
    const auto firstRowRead = [&] { return page.rows->rowCount() == Machines && page.rows->rowAt(0).read; };
    const double names = msUntil(shown, [&] { return page.rows->rowCount() == Machines; });
    const double first = msUntil(shown, firstRowRead);
    form.repaint();
    const double drawn = shown.nsecsElapsed() / 1e6;
    const double all = msUntil(shown, [&] { return !page.loading(); });
    std::printf("Monitor on %d machines x 7 days: every name %.0f ms, first rows and chart %.0f ms, first draw %.0f ms "
                "(target <= 300 ms), every row %.0f ms\n",
                Machines, names, first, drawn, all);
    TestSeams::instance().clock = nullptr;
}
} // namespace

int main(int argc, char *argv[])
{
    return runOffscreen(argc, argv, [] {
        HelperProcess::Testing::program() = TOZELO_HELPER;
        benchRedraw();
        benchFirstDraw();
    });
}
