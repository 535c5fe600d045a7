#include "MessageBoxApi.h"

MessageBoxFn& MessageBoxHook()
{
    static MessageBoxFn hook = &::MessageBoxA;
    return hook;
}
