#include "ShellApi.h"

ShellApi& ShellNamespace()
{
    static ShellApi api;
    return api;
}
