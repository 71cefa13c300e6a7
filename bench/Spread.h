#pragma once
#include <QString>

#include <algorithm>
#include <vector>

// Figures of several runs of one thing: the median, and the lowest and highest around it.
struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;

    static Spread of(std::vector<double> values)
    {
        std::sort(values.begin(), values.end());
        return values.empty() ? Spread() : Spread{values[values.size() / 2], values.front(), values.back()};
    }

    QString text(int decimals = 3) const
    {
        return QString("%1 (%2-%3)")
            .arg(median, 0, 'f', decimals)
            .arg(low, 0, 'f', decimals)
            .arg(high, 0, 'f', decimals);
    }
};
