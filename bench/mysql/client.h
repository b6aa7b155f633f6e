#pragma once
// The common body of the bench's mysql.exe and mysqldump.exe: they take exactly the argument
// forms the program uses, reach the managed server only through the socket that stands for the
// named pipe, and relay streams and exit code of the Linux client run by the host agent.

namespace bench {

struct ClientKind {
    const wchar_t* name; // "mysql" or "mysqldump": log file, messages, agent request
    bool dump;           // mysqldump's options and result file
    int failure_exit;    // the real program's code for a failed run (mysql 1, mysqldump 2)
};

int run_client(const ClientKind& kind, int argc, wchar_t** argv);

} // namespace bench
