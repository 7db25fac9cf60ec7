// The module the call benchmark's server loads: one empty function.
extern "C" __attribute__((visibility("default"))) void Empty() {}
