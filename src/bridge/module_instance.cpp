#include "bridge/module_instance.h"

void* moduleInstance = nullptr;
