/* tests/support/keep_libraries_loaded.c - preloaded into the programs the tests start in the
 * sanitizer build. The GL driver is unloaded at exit before the leak checker runs, and its own
 * allocations would then have no module name for the suppressions to match: this leaves every
 * shared library loaded instead. */
#include <dlfcn.h>

int dlclose(void* handle) {
    (void)handle;
    return 0;
}
