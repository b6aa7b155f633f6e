// A library that tests build but never place beside the program that needs it (see
// needs_absent_library.cpp).
extern "C" __declspec(dllexport) int absent_library_answer() {
    return 0;
}
