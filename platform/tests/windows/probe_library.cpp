// A library for the loader tests to load and call.
extern "C" __declspec(dllexport) int kelvo_probe_twice(int value) {
    return 2 * value;
}
