// Prints how long CleanCache takes over a real URL cache of 1,000 and 10,000
// entries next to a bare walk of the same cache, as a ratio. Not a test:
// absolute times under Wine say little, the ratio says what the cleaner adds.
#include <chrono>
#include <cstdio>

#include "BenchCache.h"
#include "CacheCleaner.h"

namespace {

const char kTag[] = "norvane-bench";

template <typename F>
double Milliseconds(F f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void Fill(int total)
{
    // One entry in a hundred belongs to the site being cleaned.
    for (int i = 0; i < total; ++i) {
        const bool hit = i % 100 == 0;
        AddCacheFile("http://" + std::string(hit ? "hit" : "site") + std::to_string(hit ? 0 : i % 97) + "." + kTag +
                 ".test/page" + std::to_string(i) + ".html");
    }
}

void Empty() { RemoveTaggedEntries(nullptr, kTag); }

}  // namespace

int main()
{
    std::printf("%-8s %12s %12s %8s\n", "entries", "bare walk", "CleanCache", "ratio");
    for (int total : {1000, 10000}) {
        Empty();
        Fill(total);
        const double bare = Milliseconds([] { WalkCache(nullptr, [](const std::string&) {}); });
        const double clean = Milliseconds([] { CCacheCleaner().CleanCache(std::string("hit0.") + kTag); });
        std::printf("%-8d %9.1f ms %9.1f ms %8.2f\n", total, bare, clean, clean / bare);
        Empty();
    }
    return 0;
}
