// A DLL that no Windows carries, and a program that imports it: what package/check-mysql must
// find missing when a MySQL folder's mysqld.exe needs a runtime that is not beside it.
#ifdef KELTA_PROBE_DLL
extern "C" __declspec(dllexport) int kelta_probe() {
    return 0;
}
#else
extern "C" __declspec(dllimport) int kelta_probe();
int main() {
    return kelta_probe();
}
#endif
