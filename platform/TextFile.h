#pragma once
// Reads a whole file the way the C runtime's text mode does: every CR LF pair
// arrives as a single LF. Empty optional when the file cannot be opened or read.
#include <optional>
#include <string>

std::optional<std::string> ReadTextModeFile(const std::string& path);
