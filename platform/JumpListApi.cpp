#include "JumpListApi.h"

JumpListApi& JumpLists()
{
    static JumpListApi api;
    return api;
}
