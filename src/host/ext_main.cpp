// The module's one exported entry point.
#include "host/quillex_ext.h"

#ifdef _WIN32
#define QUILLEX_MODULE_EXPORT __declspec(dllexport)
#else
#define QUILLEX_MODULE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" QUILLEX_MODULE_EXPORT void ext_main(void*) {
    try {
        quillex::registerQuillexClass();
    } catch (...) {
        object_error(nullptr, "quillex: class registration failed");
    }
}
