// Bench stand-in for MySQL 5.7's mysqldump.exe: a dump of one database into --result-file
// (bench/mysql/client.h).
#include "client.h"

int wmain(int argc, wchar_t** argv) {
    return bench::run_client({.name = L"mysqldump", .dump = true, .failure_exit = 2}, argc, argv);
}
