#include "RegistryApi.h"

RegistryApi& Registry()
{
    static RegistryApi api;
    return api;
}
