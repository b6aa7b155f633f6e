// The library that needs_absent_library.cpp needs, never placed beside it.
extern "C" __declspec(dllexport) int absent_library_answer() {
    return 0;
}
