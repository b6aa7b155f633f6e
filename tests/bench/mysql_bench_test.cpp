// The bench's self-test (bench/selftest runs it): the stand-ins mysqld.exe, mysql.exe and
// mysqldump.exe in front of the real MySQL 5.7 server behave towards a Windows caller as the
// program expects of the real programs. The tests run in order and share one instance: its data
// directory is initialized once, the service KeltaMySQL57 is registered once and deleted at the
// end. Printed times: initialization, start to accepting connections, stop.
#include "harness.h"

#include "base/child.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr const char* service = "KeltaMySQL57";
constexpr const char* root_password = "Root-Pw-7f3a";
constexpr const char* app_user = "kelta_retail";
constexpr const char* app_password = "App-Pw-91c2";
constexpr const char* database = "kelta_retail";
// Chinese text and an emoji: four-byte UTF-8 must survive a dump and a restore byte for byte.
constexpr const char* shop_text = "收银台 \xF0\x9F\x98\x80 ☕";
constexpr auto state_limit = 60s;

const std::string root_folder = "C:\\kelta-test\\bench-selftest";
const std::string data_root = root_folder + "\\KELTA Retail\\MySQL";
const std::string my_ini = data_root + "\\my.ini";
const std::string data_dir = data_root + "\\data";
const std::string error_log = data_root + "\\error.log";
const std::string init_sql = data_root + "\\init.sql";

std::string forward(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string quoted(const std::string& text) {
    std::string out(1, '"');
    out += text;
    out += '"';
    return out;
}

std::string program(const std::string& name) {
    return app_dir() + "\\MySQL\\bin\\" + name;
}

void print_time(const char* what, std::chrono::steady_clock::duration took) {
    std::printf("[   time   ] %s: %.2f s\n", what, std::chrono::duration<double>(took).count());
    std::fflush(stdout);
}

// my.ini as the program writes it, with the test's own port.
std::string my_ini_text(unsigned short port) {
    std::string text;
    for (const std::string& line :
         {std::string("[mysqld]"), "basedir=" + forward(app_dir() + "\\MySQL"),
          "port=" + std::to_string(port), std::string("bind-address=127.0.0.1"),
          std::string("enable-named-pipe=1"), std::string("socket=KELTA_MYSQL57"),
          "datadir=" + forward(data_dir), "log-error=" + forward(error_log),
          std::string("character-set-server=utf8mb4"),
          std::string("collation-server=utf8mb4_unicode_ci"),
          std::string("default-storage-engine=InnoDB"),
          std::string("sql_mode=STRICT_TRANS_TABLES,NO_ENGINE_SUBSTITUTION"),
          std::string("explicit_defaults_for_timestamp=1"), std::string("skip-name-resolve"),
          std::string("max_connections=100"), std::string("innodb_buffer_pool_size=128M")})
        text += line + "\r\n";
    return text;
}

// The six lines of the program's data-directory initialization.
std::string init_text() {
    return std::string("ALTER USER 'root'@'localhost' IDENTIFIED BY '") + root_password + "';\n" +
           "CREATE DATABASE IF NOT EXISTS `" + database +
           "` CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;\n" + "CREATE USER IF NOT EXISTS '" +
           app_user + "'@'%' IDENTIFIED BY '" + app_password + "';\n" + "ALTER USER '" + app_user +
           "'@'%' IDENTIFIED BY '" + app_password + "';\n" + "GRANT ALL PRIVILEGES ON `" +
           database + "`.* TO '" + app_user + "'@'%';\n" + "FLUSH PRIVILEGES;\n";
}

Result<ChildOutcome> initialize() {
    return run_captured({.program = program("mysqld.exe"),
                         .arguments = {"--defaults-file=" + my_ini, "--initialize-insecure",
                                       "--init-file=" + init_sql}},
                        {}, true);
}

// mysql.exe and mysqldump.exe with the program's fixed arguments and MYSQL_PWD.
ChildProcess client(const std::string& name, const std::string& password,
                    const std::vector<std::string>& more = {}) {
    ChildProcess child{.program = program(name),
                       .arguments = {"--no-defaults", "--socket=KELTA_MYSQL57", "--protocol=PIPE",
                                     "--user=root", "--default-character-set=utf8mb4"},
                       .extra_environment = {{"MYSQL_PWD", password}}};
    if (name == "mysql.exe") child.arguments.emplace_back("--local-infile=0");
    child.arguments.insert(child.arguments.end(), more.begin(), more.end());
    return child;
}

ChildOutcome run_sql(const std::string& sql, const std::string& password = root_password,
                     const std::vector<std::string>& more = {}) {
    auto outcome = run_captured(client("mysql.exe", password, more), {.text = sql}, true);
    EXPECT_TRUE(outcome.has_value()) << error_text(outcome);
    return outcome.value_or(ChildOutcome{});
}

ChildOutcome dump_to(const std::string& file, const std::string& password = root_password) {
    auto outcome = run_captured(client("mysqldump.exe", password,
                                       {"--single-transaction", "--routines", "--triggers",
                                        "--events", "--result-file=" + file, database}),
                                {}, false);
    EXPECT_TRUE(outcome.has_value()) << error_text(outcome);
    return outcome.value_or(ChildOutcome{});
}

// ---- the Service Control Manager, as the program will use it ----------------------------------

UniqueServiceHandle open_service(DWORD access) {
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    return UniqueServiceHandle(OpenServiceW(manager.get(), widen(service).c_str(), access));
}

SERVICE_STATUS query(const UniqueServiceHandle& handle) {
    SERVICE_STATUS status{};
    QueryServiceStatus(handle.get(), &status);
    return status;
}

template <class Check> bool eventually(Check check, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (check()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return check();
}

bool wait_for(const UniqueServiceHandle& handle, DWORD state,
              std::chrono::seconds limit = state_limit) {
    return eventually([&] { return query(handle).dwCurrentState == state; }, limit);
}

class MySqlBench : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        remove_service(service);
        clear_bench_control();
        clear_tool_state();
        delete_tree(root_folder);
        port = free_tcp_port();
        e2e::write_file(my_ini, my_ini_text(port));
    }
    static void TearDownTestSuite() {
        remove_service(service);
        clear_bench_control();
    }
    void TearDown() override { clear_bench_control(); }

    static SERVICE_STATUS start(const UniqueServiceHandle& handle) {
        EXPECT_TRUE(StartServiceW(handle.get(), 0, nullptr)) << last_error_text();
        EXPECT_TRUE(eventually(
            [&] { return query(handle).dwCurrentState != SERVICE_START_PENDING; }, state_limit));
        return query(handle);
    }
    static void stop(const UniqueServiceHandle& handle) {
        SERVICE_STATUS status{};
        if (query(handle).dwCurrentState != SERVICE_STOPPED) {
            EXPECT_TRUE(ControlService(handle.get(), SERVICE_CONTROL_STOP, &status))
                << last_error_text();
        }
        EXPECT_TRUE(wait_for(handle, SERVICE_STOPPED));
    }

    static inline unsigned short port = 0;
};

// ---- initialization
// ------------------------------------------------------------------------------

TEST_F(MySqlBench, InitializeRefusesADataDirectoryWithFiles) {
    e2e::write_file(data_dir + "\\leftover.txt", "x");
    e2e::write_file(init_sql, init_text());
    auto outcome = initialize();
    ASSERT_TRUE(outcome.has_value()) << error_text(outcome);
    EXPECT_EQ(outcome->exit_code, 1u);
    EXPECT_NE(e2e::read_file(error_log).find("data directory has files in it. Aborting."),
              std::string::npos);
    delete_tree(data_dir);
}

TEST_F(MySqlBench, InitializeFailsOnAnInitFileError) {
    e2e::write_file(init_sql, "CREATE DATABASE `ok`;\nTHIS IS NOT SQL;\n");
    auto outcome = initialize();
    ASSERT_TRUE(outcome.has_value()) << error_text(outcome);
    EXPECT_EQ(outcome->exit_code, 1u);
    EXPECT_NE(e2e::read_file(error_log).find("[ERROR] 1064  You have an error in your SQL syntax"),
              std::string::npos);
    delete_tree(data_dir);
    delete_file(error_log);
}

TEST_F(MySqlBench, InitializeRunsTheInitFileAsRoot) {
    e2e::write_file(init_sql, init_text());
    auto begin = std::chrono::steady_clock::now();
    auto outcome = initialize();
    print_time("initialize", std::chrono::steady_clock::now() - begin);
    ASSERT_TRUE(outcome.has_value()) << error_text(outcome);
    EXPECT_EQ(outcome->exit_code, 0u) << e2e::read_file(error_log);
    EXPECT_TRUE(is_directory(data_dir + "\\mysql"));
    EXPECT_TRUE(is_directory(data_dir + "\\" + database));
    delete_file(init_sql);
    EXPECT_EQ(tool_calls("mysqld").back(),
              (std::vector<std::string>{"--defaults-file=" + my_ini, "--initialize-insecure",
                                        "--init-file=" + init_sql}));
}

// ---- the service
// -----------------------------------------------------------------------------------

TEST_F(MySqlBench, ServiceStartsFromItsBinaryPathAndServesTcp) {
    // The form the program registers: quoted program path, quoted defaults file, service name.
    std::string binary_path =
        quoted(program("mysqld.exe")) + " --defaults-file=" + quoted(my_ini) + " " + service;
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    UniqueServiceHandle created(CreateServiceW(
        manager.get(), widen(service).c_str(), L"KELTA Retail MySQL 5.7", SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
        widen(binary_path).c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(created) << last_error_text();

    auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(StartServiceW(created.get(), 0, nullptr)) << last_error_text();
    ASSERT_TRUE(wait_for(created, SERVICE_RUNNING)) << e2e::read_file(error_log);
    ASSERT_TRUE(eventually([] { return tcp_listener(port); }, 10s));
    print_time("start to accepting connections", std::chrono::steady_clock::now() - begin);

    EXPECT_EQ(tool_calls("mysqld").back(),
              (std::vector<std::string>{"--defaults-file=" + my_ini, service}));
    EXPECT_FALSE(tcp_listener(port, "10.255.255.1")) << "bound to 127.0.0.1, not to every address";
    auto servers = bench_servers();
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0].pipe, "KELTA_MYSQL57");
    EXPECT_EQ(servers[0].port, std::to_string(port));

    auto who = query_over_tcp(app_user, app_password, port,
                              "SELECT CURRENT_USER(), @@port, @@character_set_server;", database);
    EXPECT_EQ(who.exit_code, 0) << who.error;
    EXPECT_EQ(who.output, "kelta_retail@%\t" + std::to_string(port) + "\tutf8mb4\n");
    auto refused = query_over_tcp(app_user, "wrong", port, "SELECT 1;");
    EXPECT_NE(refused.exit_code, 0);
    EXPECT_NE(refused.error.find("ERROR 1045 (28000): Access denied for user 'kelta_retail'"),
              std::string::npos);
}

TEST_F(MySqlBench, MysqlRunsSqlAsRootWithThePasswordFromTheEnvironment) {
    auto outcome = run_sql(
        "SELECT CURRENT_USER();\nSELECT COUNT(*) FROM mysql.user WHERE user = 'kelta_retail';\n");
    EXPECT_EQ(outcome.exit_code, 0u) << outcome.error;
    EXPECT_EQ(outcome.output, "CURRENT_USER()\r\nroot@localhost\r\nCOUNT(*)\r\n1\r\n");
    EXPECT_EQ(
        lines_of(outcome.error),
        std::vector<std::string>{
            "mysql: [Warning] Using a password on the command line interface can be insecure."});
    EXPECT_EQ(stderr_summary(outcome.error), "");

    auto calls = client_calls("mysql");
    ASSERT_FALSE(calls.empty());
    EXPECT_TRUE(calls.back().password_set);
    EXPECT_EQ(calls.back().arguments,
              (std::vector<std::string>{"--no-defaults", "--socket=KELTA_MYSQL57",
                                        "--protocol=PIPE", "--user=root",
                                        "--default-character-set=utf8mb4", "--local-infile=0"}));
    EXPECT_EQ(tool_calls("mysql").back().front(), "MYSQL_PWD=set")
        << "the password itself is never logged";
}

TEST_F(MySqlBench, DumpAndRestoreKeepChineseAndEmojiByteForByte) {
    auto made = run_sql(std::string("CREATE TABLE till (id INT PRIMARY KEY, label VARCHAR(64)) "
                                    "DEFAULT CHARSET=utf8mb4;\nINSERT INTO till VALUES (1, '") +
                            shop_text + "');\n",
                        root_password, {database});
    ASSERT_EQ(made.exit_code, 0u) << made.error;
    auto hex_of_label = [] {
        return mysql_as_root("SELECT HEX(label) FROM till WHERE id = 1;", root_password, database)
            .output;
    };
    const std::string original = hex_of_label();
    ASSERT_FALSE(original.empty());

    const std::string backup = root_folder + "\\backups\\till backup.sql";
    (void)create_directories(root_folder + "\\backups");
    auto dumped = dump_to(backup);
    EXPECT_EQ(dumped.exit_code, 0u) << dumped.error;
    std::string dump = e2e::read_file(backup);
    EXPECT_NE(dump.find(shop_text), std::string::npos);
    ASSERT_FALSE(lines_of(dump).empty());
    EXPECT_TRUE(lines_of(dump).back().starts_with("-- Dump completed on "))
        << lines_of(dump).back();
    EXPECT_TRUE(client_calls("mysqldump").back().password_set);

    auto changed = mysql_as_root("UPDATE till SET label = 'changed';", root_password, database);
    ASSERT_EQ(changed.exit_code, 0) << changed.error;
    UniqueFile source(CreateFileW(widen(backup).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(source);
    auto restored =
        run_captured(client("mysql.exe", root_password, {database}), {.file = source.get()}, true);
    ASSERT_TRUE(restored.has_value()) << error_text(restored);
    EXPECT_EQ(restored->exit_code, 0u) << restored->error;
    EXPECT_EQ(hex_of_label(), original);
}

TEST_F(MySqlBench, TruncateControlDropsTheClosingLine) {
    bench_control("mysqldump.truncate");
    const std::string cut = root_folder + "\\cut.sql";
    auto dumped = dump_to(cut);
    EXPECT_EQ(dumped.exit_code, 0u) << dumped.error;
    std::string dump = e2e::read_file(cut);
    EXPECT_NE(dump.find("CREATE TABLE `till`"), std::string::npos);
    EXPECT_EQ(dump.find("-- Dump completed"), std::string::npos);
}

TEST_F(MySqlBench, ClientErrorsKeepTheShapeOfTheRealClients) {
    auto denied = run_sql("SELECT 1;\n", "not-the-password");
    EXPECT_EQ(denied.exit_code, 1u);
    EXPECT_EQ(
        stderr_summary(denied.error),
        "ERROR 1045 (28000): Access denied for user 'root'@'localhost' (using password: YES)");

    const std::string refused_dump = root_folder + "\\denied.sql";
    auto dump = dump_to(refused_dump, "not-the-password");
    EXPECT_EQ(dump.exit_code, 2u);
    EXPECT_TRUE(exists(refused_dump)) << "mysqldump creates its result file before it connects";
    EXPECT_EQ(stderr_summary(dump.error),
              "mysqldump: Got error: 1045: Access denied for user 'root'@'localhost' "
              "(using password: YES) when trying to connect");
    EXPECT_TRUE(dump.error.starts_with(
        "mysqldump: [Warning] Using a password on the command line interface"));

    auto syntax = run_sql("SELECT 1;\nSELEC 2;\n");
    EXPECT_EQ(syntax.exit_code, 1u);
    EXPECT_TRUE(stderr_summary(syntax.error)
                    .starts_with("ERROR 1064 (42000) at line 2: You have an error in your "
                                 "SQL syntax"))
        << syntax.error;

    auto unknown =
        run_captured(client("mysql.exe", root_password, {"--host=127.0.0.1"}), {.text = ""}, true);
    ASSERT_TRUE(unknown.has_value());
    EXPECT_EQ(unknown->exit_code, 7u);
    EXPECT_NE(unknown->error.find("mysql: [ERROR] unknown option '--host=127.0.0.1'"),
              std::string::npos);

    // A register's login over TCP: batch output with the column name, Winsock's refusal.
    auto login = [](const std::string& password, unsigned short at) {
        ChildProcess register_login{
            .program = program("mysql.exe"),
            .arguments = {"--host=127.0.0.1", "--port=" + std::to_string(at), "--protocol=TCP",
                          "--user=" + std::string(app_user), "--default-character-set=utf8mb4",
                          "--connect-timeout=10", database},
            .extra_environment = {{"MYSQL_PWD", password}}};
        return run_captured(register_login, {.text = "SELECT 1;\n"}, true).value_or(ChildOutcome{});
    };
    EXPECT_EQ(login(app_password, port).output, "1\r\n1\r\n");
    EXPECT_TRUE(stderr_summary(login("wrong", port).error)
                    .starts_with("ERROR 1045 (28000): Access denied for user 'kelta_retail'@'"));
    auto refused = login(app_password, free_tcp_port());
    EXPECT_EQ(refused.exit_code, 1u);
    EXPECT_EQ(stderr_summary(refused.error),
              "ERROR 2003 (HY000): Can't connect to MySQL server on '127.0.0.1' (10061)");
}

TEST_F(MySqlBench, FlushErrorLogsStartsANewErrorLog) {
    ASSERT_TRUE(move_file(error_log, error_log + ".1"));
    auto flushed = run_sql("FLUSH ERROR LOGS;\n");
    EXPECT_EQ(flushed.exit_code, 0u) << flushed.error;
    EXPECT_TRUE(exists(error_log));
    EXPECT_NE(e2e::read_file(error_log + ".1").find("ready for connections"), std::string::npos);
}

TEST_F(MySqlBench, StopEndsTheLinuxServer) {
    auto handle = open_service(SERVICE_STOP | SERVICE_QUERY_STATUS);
    ASSERT_TRUE(handle);
    auto begin = std::chrono::steady_clock::now();
    stop(handle);
    print_time("stop", std::chrono::steady_clock::now() - begin);
    EXPECT_EQ(query(handle).dwWin32ExitCode, static_cast<DWORD>(NO_ERROR));
    EXPECT_TRUE(bench_servers().empty());
    EXPECT_FALSE(tcp_listener(port));
}

TEST_F(MySqlBench, ClientsReportAStoppedServer) {
    auto refused = run_sql("SELECT 1;\n");
    EXPECT_EQ(refused.exit_code, 1u);
    EXPECT_EQ(stderr_summary(refused.error),
              "ERROR 2017 (HY000): Can't open named pipe to host: .  pipe: KELTA_MYSQL57 (2)");

    const std::string refused_dump = root_folder + "\\stopped.sql";
    auto dump = dump_to(refused_dump);
    EXPECT_EQ(dump.exit_code, 2u);
    EXPECT_TRUE(exists(refused_dump));
    EXPECT_EQ(stderr_summary(dump.error),
              "mysqldump: Got error: 2017: Can't open named pipe to host: .  pipe: "
              "KELTA_MYSQL57 (2) when trying to connect");
}

// What an administrator adds to my.ini reaches the server: options 5.7 knows (Windows paths
// mapped into the prefix, the group named after the service read too), and an option it does not
// know fails the start as it would on Windows.
TEST_F(MySqlBench, AdministratorOptionsReachTheServer) {
    (void)create_directories(root_folder + "\\tmp");
    e2e::write_file(
        my_ini, my_ini_text(port) + "wait_timeout=1234\r\ntmpdir=\"" + forward(root_folder) +
                    "/tmp\"  # quoted, with a comment\r\n[KeltaMySQL57]\r\nmax_connections=77\r\n");
    auto handle = open_service(SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
    EXPECT_EQ(start(handle).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING))
        << e2e::read_file(error_log);
    auto values =
        mysql_as_root("SELECT @@wait_timeout, @@max_connections, @@tmpdir;", root_password);
    EXPECT_EQ(values.exit_code, 0) << values.error;
    EXPECT_TRUE(values.output.starts_with("1234\t77\t")) << values.output;
    EXPECT_TRUE(values.output.ends_with("/drive_c/kelta-test/bench-selftest/tmp\n"))
        << values.output;
    stop(handle);

    e2e::write_file(my_ini, my_ini_text(port) + "no_such_option=1\r\n");
    auto status = start(handle);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_PROCESS_ABORTED));
    EXPECT_NE(e2e::read_file(error_log).find("unknown variable 'no_such_option=1'"),
              std::string::npos);
    EXPECT_TRUE(bench_servers().empty());
    e2e::write_file(my_ini, my_ini_text(port));
}

// ---- test controls ------------------------------------------------------------------------------

TEST_F(MySqlBench, ReadyDelayKeepsTheServiceStarting) {
    bench_control("mysqld.ready-delay", "2");
    auto handle = open_service(SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
    ASSERT_TRUE(StartServiceW(handle.get(), 0, nullptr)) << last_error_text();
    ASSERT_TRUE(eventually([] { return tcp_listener(port); }, 10s));
    EXPECT_EQ(query(handle).dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING))
        << "accepting connections, not yet reported running";
    EXPECT_TRUE(wait_for(handle, SERVICE_RUNNING, 10s));
    stop(handle);
}

TEST_F(MySqlBench, SkipNetworkingRunsWithoutATcpListener) {
    bench_control("mysqld.skip-networking");
    auto handle = open_service(SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
    EXPECT_EQ(start(handle).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_FALSE(tcp_listener(port));
    auto over_pipe = run_sql("SELECT @@skip_networking;\n");
    EXPECT_EQ(over_pipe.exit_code, 0u) << over_pipe.error;
    EXPECT_EQ(over_pipe.output, "@@skip_networking\r\n1\r\n");
    stop(handle);
}

TEST_F(MySqlBench, FailStartStopsTheServiceAsAnAbortedProcess) {
    bench_control("mysqld.fail-start");
    auto handle = open_service(SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
    auto status = start(handle);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_PROCESS_ABORTED));
    EXPECT_TRUE(bench_servers().empty());
    EXPECT_NE(e2e::read_file(error_log).find("[ERROR] Aborting"), std::string::npos);
}

// ---- console run
// ------------------------------------------------------------------------------------

// The console run writes the server's log to its standard error; killing the stand-in (as a
// crash or wineserver -k would) must take the Linux server with it.
TEST_F(MySqlBench, ConsoleServerLogsToItsConsoleAndEndsWhenKilled) {
    SECURITY_ATTRIBUTES inherit{
        .nLength = sizeof inherit, .lpSecurityDescriptor = nullptr, .bInheritHandle = TRUE};
    UniqueHandle read_end, write_end;
    ASSERT_TRUE(CreatePipe(read_end.put(), write_end.put(), &inherit, 0));
    SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0);
    std::wstring line = widen(quoted(program("mysqld.exe")) + " " +
                              quoted("--defaults-file=" + my_ini) + " --console");
    STARTUPINFOW startup{.cb = sizeof startup,
                         .dwFlags = STARTF_USESTDHANDLES,
                         .hStdInput = nullptr,
                         .hStdOutput = write_end.get(),
                         .hStdError = write_end.get()};
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &startup, &info))
        << last_error_text();
    UniqueHandle process(info.hProcess), thread(info.hThread);
    write_end.reset();
    std::string console;
    std::thread reader([&] {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read_end.get(), buffer, sizeof buffer, &got, nullptr) && got)
            console.append(buffer, got);
    });

    EXPECT_TRUE(eventually([] { return tcp_listener(port); }, 20s));
    EXPECT_EQ(bench_servers().size(), 1u);
    auto works = mysql_as_root("SELECT 1;", root_password);
    EXPECT_EQ(works.output, "1\n") << works.error;
    // As on Windows, a second server cannot take a named pipe that is in use.
    auto handle = open_service(SERVICE_START | SERVICE_QUERY_STATUS);
    auto second = start(handle);
    EXPECT_EQ(second.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(second.dwWin32ExitCode, static_cast<DWORD>(ERROR_PROCESS_ABORTED));
    EXPECT_NE(
        e2e::read_file(error_log).find("Named Pipe \"\\\\.\\pipe\\KELTA_MYSQL57\" already in use"),
        std::string::npos);

    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 5000);
    reader.join();
    EXPECT_NE(console.find("ready for connections"), std::string::npos) << console;
    EXPECT_TRUE(eventually([] { return bench_servers().empty(); }, 10s));
    EXPECT_FALSE(tcp_listener(port));
}

// The harness's clean-up of a test's service: a running service is stopped, then deleted.
TEST_F(MySqlBench, RemoveServiceStopsAndDeletesARunningService) {
    {
        auto handle = open_service(SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
        ASSERT_EQ(start(handle).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    }
    remove_service(service);
    EXPECT_FALSE(open_service(SERVICE_QUERY_STATUS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_TRUE(bench_servers().empty());
    EXPECT_FALSE(tcp_listener(port));
}

} // namespace
