// Measurements of the service core and the operations on the bench (run by scripts/benchmark,
// not by ctest): each "test" measures and prints; none of them judges a time.
#include "server.h"

#include "base/child.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/security.h"
#include "base/text.h"
#include "config/settings.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "svc/backup.h"
#include "svc/client.h"
#include "svc/dump_file.h"
#include "svc/myini.h"
#include "svc/restore.h"
#include "svc/status.h"

#include <gtest/gtest.h>

#include <iphlpapi.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <numeric>

using namespace e2e;
using Clock = std::chrono::steady_clock;

namespace {

double seconds_of(const std::function<void()>& work) {
    auto begin = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

void report(const char* what, double value, const char* unit) {
    std::printf("  %-58s %10.3f %s\n", what, value, unit);
    std::fflush(stdout);
}

// What service_status cannot avoid: the manager, the service, its status, the listener table,
// and my.ini read twice.
void bare_status_calls(const std::string& ini) {
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_CONNECT));
    UniqueServiceHandle service(OpenServiceW(manager.get(), L"KeltaMySQL57", SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    QueryServiceStatus(service.get(), &status);
    std::vector<std::uint64_t> table(16384 / 8);
    ULONG size = 16384;
    GetExtendedTcpTable(table.data(), &size, FALSE, AF_INET, TCP_TABLE_BASIC_LISTENER, 0);
    for (int i = 0; i < 2; ++i) {
        UniqueFile file(CreateFileW(widen(ini).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        char buffer[4096];
        DWORD got = 0;
        ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr);
    }
}

TEST(Benchmark, ServiceStatusCost) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    ASSERT_EQ(service_status(), ServiceStatus::Running);
    const int calls = 1000;
    const std::string ini = my_ini_path();
    for (int i = 0; i < 50; ++i) (void)service_status(), bare_status_calls(ini);
    double program = seconds_of([&] {
        for (int i = 0; i < calls; ++i) (void)service_status();
    });
    double bare = seconds_of([&] {
        for (int i = 0; i < calls; ++i) bare_status_calls(ini);
    });
    std::printf("service_status, %d calls under Wine with a warm wineserver:\n", calls);
    report("service_status, one call", program / calls * 1e6, "us");
    report("the system calls it cannot avoid, one round", bare / calls * 1e6, "us");
    report("the program's own share", (program - bare) / program * 100.0, "%");
}

TEST(Benchmark, StartAndStop) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    std::printf("start and stop through the command line (process start included):\n");
    auto stop = server.mode({"--stop"});
    auto start = server.mode({"--start"});
    report("--stop until stopped", stop.elapsed.count() / 1000.0, "s");
    report("--start until the port accepts connections", start.elapsed.count() / 1000.0, "s");
    EXPECT_EQ(stop.exit_code + start.exit_code, 0u);
}

TEST(Benchmark, InstallNextToTheServersOwnWork) {
    remove_service("KeltaMySQL57");
    clear_tool_state();
    std::printf("install, next to what initialization and start take by themselves:\n");
    double install = 0, reinstall = 0;
    {
        InstalledServer server;
        ASSERT_TRUE(server.installed());
        install = server.install_time().count() / 1000.0;
        reinstall = server.mode({"--install"}).elapsed.count() / 1000.0;
    }
    // The same server work done directly: initialize a data directory, start the service.
    TestFolder folder;
    SetEnvironmentVariableW(L"ProgramData", widen(folder.program_data()).c_str());
    ASSERT_TRUE(create_directories(data_root()).has_value());
    auto settings = default_settings();
    settings.port = free_tcp_port();
    const std::string mysql_dir = join_path(app_dir(), "MySQL");
    ASSERT_TRUE(write_my_ini(mysql_dir, settings).has_value());
    e2e::write_file(init_sql_path(), "ALTER USER 'root'@'localhost' IDENTIFIED BY 'Bench-root-1';\n");
    double initialize = seconds_of([&] {
        EXPECT_TRUE(run_hidden(join_path(mysql_dir, "bin\\mysqld.exe"),
                               {"--defaults-file=" + my_ini_path(), "--initialize-insecure",
                                "--init-file=" + init_sql_path()})
                        .has_value());
    });
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    std::string binary(1, '"');
    binary += join_path(mysql_dir, "bin\\mysqld.exe");
    binary += "\" --defaults-file=\"" + my_ini_path() + "\" KeltaMySQL57";
    UniqueServiceHandle service(CreateServiceW(manager.get(), L"KeltaMySQL57", L"bench", SERVICE_ALL_ACCESS,
                                               SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                               SERVICE_ERROR_NORMAL, widen(binary).c_str(), nullptr,
                                               nullptr, nullptr, nullptr, nullptr));
    double start = seconds_of([&] {
        StartServiceW(service.get(), 0, nullptr);
        while (!tcp_listener(settings.port)) Sleep(20);
    });
    service.reset();
    remove_service("KeltaMySQL57");
    SetEnvironmentVariableW(L"ProgramData", nullptr);

    report("--install on an empty folder", install, "s");
    report("--install again on the working instance", reinstall, "s");
    report("mysqld --initialize-insecure alone", initialize, "s");
    report("service start until the port listens, alone", start, "s");
    report("the program's own share of a fresh install", install - initialize - start, "s");
}

// The data folder's check that every elevated operation runs first, on a working instance. Wine
// reads no list back protected, so every run sets the folders' and files' own lists again (one call
// each); on Windows later runs only read them.
TEST(Benchmark, DataFolderCheck) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const auto entries = std::distance(std::filesystem::recursive_directory_iterator(widen(data_root())),
                                       std::filesystem::recursive_directory_iterator());
    const int rounds = 20;
    double each = seconds_of([&] {
        for (int i = 0; i < rounds; ++i) EXPECT_TRUE(secure_data_root().has_value());
    }) / rounds;
    std::printf("the data folder's check before every elevated operation, average of %d rounds:\n", rounds);
    report("files and folders in the data folder", static_cast<double>(entries), "");
    report("check, the lists set again as under Wine on every run", each * 1000, "ms");
}

// About 50 MB of rows, then the program's backup and restore next to the tools run directly.
TEST(Benchmark, BackupAndRestoreNextToTheTools) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const std::string root = server.settings().root_password;
    auto filled = mysql_as_root(
        "CREATE TABLE bulk (id INT PRIMARY KEY, v MEDIUMTEXT) CHARACTER SET utf8mb4;"
        "INSERT INTO bulk SELECT a.n * 10 + b.n, REPEAT(CONCAT('row ', a.n, b.n, ' '), 145000) FROM "
        "(SELECT 0 n UNION SELECT 1 UNION SELECT 2 UNION SELECT 3 UNION SELECT 4) a, "
        "(SELECT 0 n UNION SELECT 1 UNION SELECT 2 UNION SELECT 3 UNION SELECT 4 UNION SELECT 5 "
        "UNION SELECT 6 UNION SELECT 7 UNION SELECT 8 UNION SELECT 9) b;",
        root, "kelta_retail");
    ASSERT_EQ(filled.exit_code, 0) << filled.error;
    const std::string folder = server.folder().program_data();
    const std::string bin = join_path(app_dir(), "MySQL\\bin");
    const std::vector<std::string> fixed = {"--no-defaults", "--socket=KELTA_MYSQL57",
                                            "--protocol=PIPE", "--user=root",
                                            "--default-character-set=utf8mb4"};
    auto dump_args = [&](const std::string& file) {
        auto args = fixed;
        args.insert(args.end(), {"--single-transaction", "--routines", "--triggers", "--events",
                                 "--result-file=" + file, "kelta_retail"});
        return args;
    };
    auto direct_dump = [&](const std::string& file) {
        auto outcome = run_captured({join_path(bin, "mysqldump.exe"), dump_args(file), {{"MYSQL_PWD", root}}}, {}, true);
        EXPECT_TRUE(outcome && outcome->exit_code == 0);
    };
    auto direct_client = [&](const std::string& file) {
        UniqueFile input(CreateFileW(widen(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        auto args = fixed;
        for (const char* argument : {"--local-infile=0", "--binary-mode", "kelta_retail"})
            args.push_back(argument);
        auto outcome = run_captured({join_path(bin, "mysql.exe"), args, {{"MYSQL_PWD", root}}},
                                    {.file = input.get()}, true);
        EXPECT_TRUE(outcome && outcome->exit_code == 0);
    };

    // The nightly run keeps one dump and copies it: from the second round on it also prunes.
    e2e::write_file(server.folder().path("backup.ini"),
                    "[backup]\r\nkeep=1\r\ncopy_to=" + folder + "\\usb\r\n");
    const int rounds = 3;
    double program_backup = 0, operation_backup = 0, tool_dump = 0, program_auto = 0;
    double program_restore = 0, operation_restore = 0, tool_restore = 0;
    for (int i = 0; i < rounds; ++i) {
        tool_dump += seconds_of([&] { direct_dump(folder + "\\direct.sql"); });
        operation_backup += seconds_of([&] { EXPECT_TRUE(backup(folder + "\\shop.sql").has_value()); });
        program_backup += server.mode({"--backup", folder + "\\shop.sql"}).elapsed.count() / 1000.0;
        program_auto += server.mode({"--backup-auto"}).elapsed.count() / 1000.0;
        tool_restore += seconds_of([&] {
            direct_dump(folder + "\\direct-safety.sql");
            direct_client(folder + "\\direct.sql");
        });
        operation_restore += seconds_of([&] { EXPECT_TRUE(restore(folder + "\\shop.sql").has_value()); });
        program_restore += server.mode({"--restore", folder + "\\shop.sql"}).elapsed.count() / 1000.0;
    }
    double size_mb = static_cast<double>(file_size(folder + "\\shop.sql").value_or(0)) / 1e6;
    std::printf("backup and restore of a %.1f MB dump, average of %d rounds:\n", size_mb, rounds);
    report("mysqldump.exe run directly with the same arguments", tool_dump / rounds, "s");
    report("backup operation", operation_backup / rounds, "s");
    report("  ratio to the tool", operation_backup / tool_dump, "");
    report("KeltaMySQL.exe --backup (a process of its own)", program_backup / rounds, "s");
    report("  ratio to the tool", program_backup / tool_dump, "");
    report("KeltaMySQL.exe --backup-auto (pruning and copy)", program_auto / rounds, "s");
    report("  ratio to --backup (goal 1.10 at most)", program_auto / program_backup, "");
    report("safety dump and client run directly", tool_restore / rounds, "s");
    report("restore operation (safety dump, then the client)", operation_restore / rounds, "s");
    report("  ratio to the tools", operation_restore / tool_restore, "");
    report("KeltaMySQL.exe --restore (a process of its own)", program_restore / rounds, "s");
    report("  ratio to the tools", program_restore / tool_restore, "");

    // The backup's steps one by one (4, 6: tool, flush), and a process of its own (--quit: no
    // work).
    const std::string temporary = folder + "\\steps.sql.tmp", target = folder + "\\steps.sql";
    std::optional<ConnectionSettings> stored;
    Result<ChildProcess> dump = fail("");
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"secure the data folder", [] { EXPECT_TRUE(secure_data_root()); }},
        {"read connection.ini", [&] { stored = load_settings(); }},
        {"client_command", [&] { dump = client_command("mysqldump.exe", stored->root_password); }},
        {"create the temporary file",
         [&] {
             EXPECT_TRUE(create_fresh_file(temporary, admin_owned_descriptor, GENERIC_WRITE));
             dump->arguments.insert(dump->arguments.end(),
                                    {"--single-transaction", "--routines", "--triggers", "--events",
                                     "--result-file=" + temporary, "kelta_retail"});
         }},
        {"the dump tool", [&] { EXPECT_TRUE(run_captured(*dump, {}, true)); }},
        {"check the closing line", [&] { EXPECT_TRUE(dump_is_complete(temporary)); }},
        {"flush to disk", [&] { EXPECT_TRUE(flush_to_disk(temporary)); }},
        {"rename into place", [&] {
             EXPECT_TRUE(MoveFileExW(widen(temporary).c_str(), widen(target).c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
         }}};
    const int step_rounds = 10;
    double took[std::size(steps)] = {}, process = 0;
    for (int i = 0; i < step_rounds; ++i) {
        for (std::size_t n = 0; n < std::size(steps); ++n)
            took[n] += seconds_of(steps[n].second) / step_rounds;
        process += server.mode({"--quit"}).elapsed.count() / 1000.0 / step_rounds;
    }
    std::printf("the backup step by step, average of %d rounds:\n", step_rounds);
    for (std::size_t n = 0; n < std::size(steps); ++n)
        report(steps[n].first, took[n] * 1000, "ms");
    const double own = std::accumulate(std::begin(took), std::end(took), 0.0) - took[4] - took[6];
    report("the operation's own share (all but the tool and the flush)", own * 1000, "ms");
    report("a process of its own (--quit, nothing to do)", process * 1000, "ms");
}

} // namespace
