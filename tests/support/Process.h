#pragma once
// Runs another program of the prefix and waits for it.
#include <windows.h>

#include <string>

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

// The folder of the running test program, where the build puts every binary.
std::string BinaryFolder();
