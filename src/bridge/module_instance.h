// The operating system's handle of the loaded plug-in library, stored by the
// library's entry routine and read by the bridge to find its own file name.
#pragma once

extern void* moduleInstance;
