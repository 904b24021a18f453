// The module's one exported entry point.
#include "host/quillex_ext.h"

extern "C" __attribute__((visibility("default"))) void ext_main(void*) {
    try {
        quillex::registerQuillexClass();
    } catch (...) {
        object_error(nullptr, "quillex: class registration failed");
    }
}
