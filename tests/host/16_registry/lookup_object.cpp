// lookup_object.cpp - a shared object with one exported function, loaded by the module
// lookup tests under names and in folders of their choosing.
extern "C" __attribute__((visibility("default"))) int lookupObjectAnswer() {
    return 42;
}
