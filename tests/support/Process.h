#pragma once
// Runs another program of the prefix and waits for it.
#include <string>

// The exit code, or -1 when it could not start or did not end in time.
int RunProgram(const std::string& commandLine, unsigned timeoutMs = 60000, std::string* output = nullptr);

// The folder of the running test program, where the build puts every binary.
std::string BinaryFolder();
