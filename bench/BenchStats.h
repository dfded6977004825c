// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

// A set of timings, printed as median and 99th percentile in microseconds (print) or as
// median, 95th percentile and maximum in milliseconds (printMillis).
struct BenchStats {
    std::vector<double> micros;

    void add(std::chrono::steady_clock::duration elapsed)
    {
        micros.push_back(std::chrono::duration<double, std::micro>(elapsed).count());
    }
    double percentile(double p)
    {
        if (micros.empty())
            return 0;
        std::sort(micros.begin(), micros.end());
        return micros[std::size_t(p * double(micros.size() - 1))];
    }
    double median() { return percentile(0.5); }
    void print(const char* name)
    {
        std::printf("  %-44s median %10.3f us   p99 %10.3f us   (n=%zu)\n", name, median(),
                    percentile(0.99), micros.size());
    }
    void printMillis(const char* name)
    {
        std::printf("  %-48s median %8.2f ms   p95 %8.2f ms   max %8.2f ms   (n=%zu)\n", name,
                    median() / 1000, percentile(0.95) / 1000, percentile(1.0) / 1000,
                    micros.size());
    }
};
