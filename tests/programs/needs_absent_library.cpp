// A mysqld.exe that Windows cannot start: the DLL it needs is not beside it (as for a MySQL without
// its Visual C++ runtime), so the loader ends it with STATUS_DLL_NOT_FOUND before it runs.
extern "C" __declspec(dllimport) int absent_library_answer();

int main() {
    return absent_library_answer();
}
