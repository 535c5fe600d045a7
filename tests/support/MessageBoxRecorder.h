#pragma once
// Records the guard's message boxes instead of showing them, for the life of the object.
#include <string>

#include "MessageBoxApi.h"

struct MessageBoxRecorder {
    static inline int shown = 0;
    static inline std::string text, caption;
    static inline UINT type = 0;
    static int WINAPI Show(HWND, LPCSTR t, LPCSTR c, UINT u)
    {
        ++shown;
        text = t;
        caption = c;
        type = u;
        return IDOK;
    }
    MessageBoxRecorder() : saved_(MessageBoxHook())
    {
        shown = 0;
        MessageBoxHook() = &Show;
    }
    ~MessageBoxRecorder() { MessageBoxHook() = saved_; }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;
    MessageBoxFn saved_;
};
