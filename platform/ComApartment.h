#pragma once
// COM on the calling thread for as long as the object lives: a single-
// threaded apartment entered, or joined where the thread already has one.
#include <objbase.h>

class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment()
    {
        if (initialised_)
            CoUninitialize();
    }

private:
    bool initialised_;
};
