// Two operations at once, an operation that keeps the machine-wide lock too long, and one killed
// while it holds it: each operation finds the instance as the other left it, never half-changed.
#include "fault.h"
#include "shop.h"

#include "base/files.h"
#include "config/settings.h"

#include <gtest/gtest.h>

using namespace e2e;
using namespace std::chrono_literals;

namespace faults {

TEST(LockFaults, OneOperationAtATime) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const ConnectionSettings stored = server.settings();
    const std::string root = stored.root_password;
    const std::string program_data = server.folder().program_data();
    seed_shop(root, "(1, 'bread'), (2, 'milk')");
    const std::string week1 = shop_rows(root);
    const std::string source = program_data + "\\week1.sql";
    ASSERT_EQ(server.mode({"--backup", source}).exit_code, 0u);
    seed_shop(root, "(1, 'bread'), (2, 'milk'), (3, 'eggs')");
    const std::string target = program_data + "\\shop.sql";
    auto launch = [&](std::vector<std::string> arguments) {
        arguments.push_back("--quiet");
        return Launch{arguments, {{"ProgramData", program_data}}};
    };
    auto both = [](std::optional<unsigned long> a, std::optional<unsigned long> b) {
        return "exit " + (a ? std::to_string(*a) : "-") + " and " + (b ? std::to_string(*b) : "-");
    };

    {
        Fault fault("two --backup at once, to one file");
        Running first(launch({"--backup", target}));
        Running second(launch({"--backup", target}));
        auto a = first.wait(180s), b = second.wait(180s);
        fault.outcome(both(a, b));
        EXPECT_EQ(a, 0u);
        EXPECT_EQ(b, 0u);
        const std::string dump = e2e::read_file(target);
        fault.kept("a complete backup", dump.find("-- Dump completed") != std::string::npos &&
                                            dump.find("'eggs'") != std::string::npos);
        EXPECT_FALSE(exists(program_data + "\\shop.sql.tmp"));
    }
    {
        Fault fault("--apply during --restore");
        ConnectionSettings changed = stored;
        changed.password = "New-Password-2";
        const std::string config = program_data + "\\apply.ini";
        e2e::write_file(config, render_settings(changed));
        Running restore(launch({"--restore", source}));
        Running apply(launch({"--apply", "--config", config}));
        auto a = restore.wait(180s), b = apply.wait(180s);
        fault.outcome(both(a, b));
        EXPECT_EQ(a, 0u);
        EXPECT_EQ(b, 0u);
        fault.kept("the restored rows", shop_rows(root) == week1);
        fault.kept("the account connection.ini describes",
                   server.settings().password == changed.password &&
                       query_over_tcp(changed.user, changed.password, server.port(), "SELECT 1;")
                               .exit_code == 0);
    }
    {
        Fault fault("log rotation during a reinstall");
        const std::string error_log = server.folder().path("error.log");
        const std::string logged = e2e::read_file(error_log);
        Running install(launch({"--install"}));
        Running rotate(launch({"--rotate-logs", "--limit", "1"}));
        auto a = install.wait(180s), b = rotate.wait(180s);
        fault.outcome(both(a, b));
        EXPECT_EQ(a, 0u);
        EXPECT_EQ(b, 0u);
        fault.kept("the root password", server.settings().root_password == root);
        fault.kept("the shop's rows", shop_rows(root) == week1);
        fault.kept("error.log's lines (now error.log.1)",
                   e2e::read_file(error_log + ".1").starts_with(logged));
    }
    {
        Fault fault("an operation holds the lock over a minute");
        e2e::write_file(target, "the last backup");
        bench_control("mysqld.ready-delay", "68");
        Running restart(launch({"--restart"}));
        Sleep(2000);
        auto finished = server.mode({"--backup", target});
        fault.outcome(outcome_of(finished, server.folder()));
        EXPECT_EQ(finished.exit_code, 1u);
        EXPECT_EQ(last_said(server.folder()),
                  "--backup failed: Another KELTA Retail MySQL operation is running");
        fault.kept("the backup file", e2e::read_file(target) == "the last backup");
        clear_bench_control();
        EXPECT_EQ(restart.wait(180s), 0u);
    }
    {
        // A lock nobody else has open goes with the process that held it; one that another
        // operation waits for is left to it, abandoned.
        Fault fault("an operation killed while another waits for its lock");
        ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);
        bench_control("mysqld.ready-delay", "8");
        std::optional<Running> waiting;
        {
            Running start(launch({"--start"}));
            Sleep(1500);
            waiting.emplace(launch({"--rotate-logs"}));
            Sleep(500);
        } // the start is killed here, waiting for the server with the lock held
        clear_bench_control();
        auto rotated = waiting->wait(180s);
        fault.outcome("exit " + (rotated ? std::to_string(*rotated) : "-") + ": " +
                      last_said(server.folder()));
        EXPECT_EQ(rotated, 0u);
        EXPECT_NE(last_said(server.folder()).find("--rotate-logs took over the operation lock"),
                  std::string::npos);
        EXPECT_EQ(server.mode({"--start"}).exit_code, 0u);
        fault.kept("the shop's rows", shop_rows(root) == week1);
    }
}

} // namespace faults
