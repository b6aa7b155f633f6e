// Stands in for a mysqld.exe that Windows cannot start: it needs a DLL that is not beside it
// (as a MySQL without its Visual C++ runtime), so the loader ends it with STATUS_DLL_NOT_FOUND
// before it runs at all.
extern "C" __declspec(dllimport) int absent_library_answer();

int main() {
    return absent_library_answer();
}
