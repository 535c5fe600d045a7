#pragma once
// Runs another program of the prefix and waits for it.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

// The exit code, or -1 when it could not start or did not end in time.
int RunProgram(const std::string& commandLine, unsigned timeoutMs = 60000, std::string* output = nullptr);

// Polls until the condition holds or the time is up; whether it held.
template <typename Condition>
bool Eventually(Condition condition, unsigned waitMs = 5000, unsigned pollMs = 10)
{
    for (unsigned waited = 0; waited <= waitMs; waited += pollMs) {
        if (condition())
            return true;
        Sleep(pollMs);
    }
    return false;
}

// Polls until the value read equals the expected one or the time is up; on
// failure it says the last value it saw.
template <typename T, typename Read>
::testing::AssertionResult EventuallyEquals(const T& expected, Read read, unsigned waitMs = 5000, unsigned pollMs = 10)
{
    auto seen = read();
    for (unsigned waited = 0; !(seen == expected) && waited < waitMs; waited += pollMs) {
        Sleep(pollMs);
        seen = read();
    }
    if (seen == expected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "still " << ::testing::PrintToString(seen) << " after " << waitMs
                                         << " ms, not " << ::testing::PrintToString(expected);
}

// The folder of the running test program, where the build puts every binary.
std::string BinaryFolder();
