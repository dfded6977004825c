#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

// Median and 99th percentile of a set of timings, printed in microseconds.
struct BenchStats {
    std::vector<double> micros;

    void add(std::chrono::steady_clock::duration elapsed)
    {
        micros.push_back(std::chrono::duration<double, std::micro>(elapsed).count());
    }
    double percentile(double p)
    {
        std::sort(micros.begin(), micros.end());
        return micros[std::size_t(p * double(micros.size() - 1))];
    }
    double median() { return percentile(0.5); }
    void print(const char* name)
    {
        std::printf("  %-44s median %10.3f us   p99 %10.3f us   (n=%zu)\n", name, median(),
                    percentile(0.99), micros.size());
    }
};
