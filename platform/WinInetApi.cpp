#include "WinInetApi.h"

WinInetApi& WinInet()
{
    static WinInetApi api;
    return api;
}
