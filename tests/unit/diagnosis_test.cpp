// Why MySQL did not start, read from the error-log lines of that start. The lines are what MySQL
// 5.7.29 wrote on the bench (a taken port, an unknown option, a removed mysql.user, a read-only
// data folder, an account without access to it, a full disk, a second server on the data, a
// damaged page), and the Windows server's wording where it differs.
#include "svc/diagnosis.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    std::string_view log;
    std::optional<StartFailure> cause; // nothing: no error in the lines
    std::string_view subject = {};
};

const Case cases[] = {
    {"2026-12-09T00:07:07.722478Z 0 [Warning] Failed to set up SSL because of the following SSL "
     "library error: SSL context is not usable without certificate and private key\n"
     "2026-12-09T00:07:07.722930Z 0 [ERROR] Can't start server: Bind on TCP/IP port: Address "
     "already in use\n"
     "2026-12-09T00:07:07.722934Z 0 [ERROR] Do you already have another mysqld server running "
     "on port: 40997 ?\n2026-12-09T00:07:07.722962Z 0 [ERROR] Aborting\n",
     StartFailure::port_in_use},
    {"2019-05-29T10:33:45.125020Z 0 [ERROR] Can't start server: Bind on TCP/IP port. Got error: "
     "10048: Only one usage of each socket address (protocol/network address/port) is normally "
     "permitted.\r\n",
     StartFailure::port_in_use},
    // The same question after a bind-address this machine does not have: no program to name.
    {"2026-12-09T00:20:18.757487Z 0 [ERROR] Can't start server: Bind on TCP/IP port: Cannot "
     "assign requested address\n2026-12-09T00:20:18.757491Z 0 [ERROR] Do you already have "
     "another mysqld server running on port: 40993 ?\n"
     "2026-12-09T00:20:18.757531Z 0 [ERROR] Aborting\n",
     StartFailure::address_not_local},
    {"2020-03-10T09:21:14.573122Z 0 [ERROR] Can't start server: Bind on TCP/IP port. Got error: "
     "10049: The requested address is not valid in its context.\r\n2020-03-10T09:21:14.573125Z 0 "
     "[ERROR] Do you already have another mysqld server running on port: 3307 ?\r\n",
     StartFailure::address_not_local},
    {"2026-12-09T00:08:36.274899Z 0 [ERROR] InnoDB: Unable to lock ./ibdata1 error: 11\n",
     StartFailure::data_folder_locked},
    {"2020-02-11T09:12:40.112000Z 0 [ERROR] InnoDB: Operating system error number 32 in a file "
     "operation.\n2020-02-11T09:12:40.112000Z 0 [ERROR] InnoDB: The error means that another "
     "program is using InnoDB's files. This might be a backup or antivirus software or another "
     "instance of MySQL. Please close it to get rid of this error.\n",
     StartFailure::data_folder_locked},
    {"2026-12-09T00:07:16.121846Z 0 [ERROR] unknown variable 'innodb_buffer_pool_sise=64M'\n"
     "2026-12-09T00:07:16.121855Z 0 [ERROR] Aborting\n",
     StartFailure::unknown_option, "innodb_buffer_pool_sise=64M"},
    {"2026-12-09T00:07:19.128814Z 0 [ERROR] unknown option '--skip-grant-tablez'\n",
     StartFailure::unknown_option, "--skip-grant-tablez"},
    {"2026-12-09T00:07:40.452438Z 0 [ERROR] InnoDB: The innodb_system data file 'ibdata1' must "
     "be writable\n2026-12-09T00:07:41.012376Z 0 [ERROR] Aborting\n",
     StartFailure::file_access},
    {"mysqld: Can't change dir to '/tmp/diag-exp/data/' (Errcode: 13 - Permission denied)\n"
     "2026-12-09T00:07:52.473634Z 0 [ERROR] failed to set datadir to /tmp/diag-exp/data/\n",
     StartFailure::file_access},
    {"2026-12-09T00:08:06.110318Z 0 [ERROR] InnoDB: Operating system error number 13 in a file "
     "operation.\n2026-12-09T00:08:06.498959Z 0 [ERROR] Can't open the mysql.plugin table. "
     "Please run mysql_upgrade to create it.\n",
     StartFailure::file_access},
    {"2020-01-12T08:15:02.491000Z 0 [ERROR] InnoDB: Operating system error number 5 in a file "
     "operation.\n",
     StartFailure::file_access},
    {"2026-12-09T00:08:23.811026Z 0 [ERROR] InnoDB: Write to file ./ibtmp1failed at offset 0, "
     "1048576 bytes should have been written, only 0 were written. Operating system error "
     "number 28.\n2026-12-09T00:08:23.811043Z 0 [ERROR] InnoDB: Error number 28 means 'No space "
     "left on device'\n",
     StartFailure::disk_full},
    {"2020-01-12T08:15:02.491000Z 0 [ERROR] InnoDB: Operating system error number 112 in a file "
     "operation.\n",
     StartFailure::disk_full},
    {"2020-01-12T08:15:02.491000Z 0 [ERROR] InnoDB: Write to file .\\ibtmp1failed at offset 0, "
     "1048576 bytes should have been written, only 0 were written. Operating system error number "
     "112. Check that your OS and file system support files of this size.\r\n",
     StartFailure::disk_full},
    {"2026-12-09T00:07:26.357336Z 0 [ERROR] Fatal error: Can't open and lock privilege tables: "
     "Table 'mysql.user' doesn't exist\n2026-12-09T00:07:26.357366Z 0 [ERROR] Fatal error: "
     "Failed to initialize ACL/grant/time zones structures or failed to remove temporary table "
     "files.\n",
     StartFailure::system_tables},
    {"2026-12-09T00:09:09.324754Z 0 [ERROR] InnoDB: Database page corruption on disk or a failed "
     "file read of page [page id: space=0, page number=7]. You may have to recover from a "
     "backup.\n",
     StartFailure::innodb_corruption},
    {"2026-12-09 00:09:09 0x7f77ea4fab80  InnoDB: Assertion failure in thread 140153008925568 "
     "in file ut0ut.cc line 918\n",
     StartFailure::innodb_corruption},
    {"2026-12-09T00:05:57.793655Z 0 [Warning] TIMESTAMP with implicit DEFAULT value is "
     "deprecated.\n2026-12-09T01:00:00.000000Z 0 [ERROR] Aborting (bench control "
     "mysqld.fail-start)\n",
     StartFailure::other, "Aborting (bench control mysqld.fail-start)"},
    {"2026-12-09T00:05:57.793655Z 0 [Warning] TIMESTAMP with implicit DEFAULT value is "
     "deprecated.\n",
     std::nullopt},
    // A warning decides nothing, the plugin table's line is harmless, and the last error that
    // says more than the failure itself names the cause.
    {"2020-03-10T09:30:01.000000Z 0 [Warning] unknown variable "
     "'loose-group_replication_start_on_boot=OFF'\r\n"
     "2020-03-10T09:30:01.100000Z 0 [ERROR] Can't open the mysql.plugin table. Please run "
     "mysql_upgrade to create it.\r\n"
     "2020-03-10T09:30:01.200000Z 0 [ERROR] InnoDB: Cannot allocate memory for the buffer pool\r\n"
     "2020-03-10T09:30:01.200000Z 0 [ERROR] Failed to initialize builtin plugins.\r\n"
     "2020-03-10T09:30:01.200000Z 0 [ERROR] Aborting\r\n",
     StartFailure::other, "InnoDB: Cannot allocate memory for the buffer pool"},
};

TEST(StartDiagnosis, ClassifiesRealErrorLogLines) {
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.log));
        const std::optional<LogFinding> finding = classify_error_log(c.log);
        ASSERT_EQ(finding.has_value(), c.cause.has_value());
        if (!finding) continue;
        EXPECT_EQ(finding->cause, *c.cause);
        EXPECT_EQ(finding->subject, c.subject);
    }
    EXPECT_EQ(log_line_time("2026-12-09T08:07:07+08:00"), log_line_time("2026-12-09T00:07:07Z"));
}

} // namespace
