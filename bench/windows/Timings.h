#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

// A set of timings, printed in milliseconds as median, 95th percentile and maximum.
struct Timings {
    std::vector<double> millis;

    void add(std::chrono::steady_clock::duration elapsed)
    {
        millis.push_back(std::chrono::duration<double, std::milli>(elapsed).count());
    }
    double percentile(double p)
    {
        std::sort(millis.begin(), millis.end());
        return millis[std::size_t(p * double(millis.size() - 1))];
    }
    void print(const char* name)
    {
        if (millis.empty()) {
            std::printf("  %-48s no samples\n", name);
            return;
        }
        std::printf("  %-48s median %8.2f ms   p95 %8.2f ms   max %8.2f ms   (n=%zu)\n", name,
                    percentile(0.5), percentile(0.95), percentile(1.0), millis.size());
    }
};
