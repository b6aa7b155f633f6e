// Bench stand-in for MySQL 5.7's mysql.exe: SQL on standard input, optionally against the
// database named as its last argument (bench/mysql/client.h).
#include "client.h"

int wmain(int argc, wchar_t** argv) {
    return bench::run_client({.name = L"mysql", .dump = false, .failure_exit = 1}, argc, argv);
}
