// A program that imports a function Windows XP lacks, for the import check's
// own test: the check must refuse it.
#include <windows.h>

extern "C" __declspec(dllimport) ULONGLONG WINAPI GetTickCount64();

int main() { return static_cast<int>(GetTickCount64() & 1); }
