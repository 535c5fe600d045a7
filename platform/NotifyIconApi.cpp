#include "NotifyIconApi.h"

NotifyIconFn& NotifyIconHook()
{
    static NotifyIconFn hook = &::Shell_NotifyIconA;
    return hook;
}
