// What examining one address costs the browser's thread: deriving the domain
// of a hostile address (a long run of scheme texts to remove), and matching an
// address against a white list of 10,000 entries next to a plain byte search
// over the same entries. Not a test: it prints.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "AnsiText.h"
#include "DomainTracker.h"

namespace {

template <typename Work>
double Milliseconds(int rounds, Work work)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / rounds;
}

std::string Repeated(const std::string& part, std::size_t length)
{
    std::string text;
    while (text.size() + part.size() <= length)
        text += part;
    return text;
}

volatile std::size_t g_sink = 0;

void HostileAddresses()
{
    std::printf("Domain of a hostile address (\"www.\" repeated, then a path):\n");
    double previous = 0;
    for (std::size_t length : {100000u, 1000000u}) {
        // Copies made beforehand: the address arrives in a string of its own,
        // and what is timed is the derivation alone.
        const int rounds = 10;
        std::vector<std::string> addresses(rounds, "http://" + Repeated("www.", length) + "example.com/");
        int next = 0;
        const double ms =
            Milliseconds(rounds, [&] { g_sink = g_sink + DeriveDomain(std::move(addresses[next++])).size(); });
        std::printf("  %8zu characters  %9.2f ms", length, ms);
        if (previous > 0)
            std::printf("   %.1f x the 100,000-character address (linear: 10 x)", ms / previous);
        std::printf("\n");
        previous = ms;
    }
}

void WhiteListMatch()
{
    std::vector<std::string> entries;
    for (int i = 0; i < 10000; ++i)
        entries.push_back("site" + std::to_string(i) + ".white.example");
    std::printf("White-list match, 10,000 entries, no entry matching:\n");
    for (std::size_t length : {60u, 400u}) {
        const std::string address = "http://www.unlisted.example.net/" + Repeated("path/", length - 32);
        const double ours = Milliseconds(20, [&] {
            for (const auto& entry : entries)
                g_sink = g_sink + (ansi::Contains(address, entry) ? 1 : 0);
        });
        const double plain = Milliseconds(20, [&] {
            for (const auto& entry : entries)
                g_sink = g_sink + (std::strstr(address.c_str(), entry.c_str()) ? 1 : 0);
        });
        std::printf("  address of %3zu characters: match %7.3f ms, plain byte search %7.3f ms, ratio %.2f\n",
                    address.size(), ours, plain, ours / plain);
    }
    CPINFO info{};
    GetCPInfo(CP_ACP, &info);
    std::printf("  (code page %u, %s lead bytes)\n", GetACP(), info.LeadByte[0] ? "with" : "without");
}

}  // namespace

int main()
{
    HostileAddresses();
    WhiteListMatch();
    return 0;
}
