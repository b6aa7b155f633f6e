// What a restore refuses before it changes anything: statements that leave the shop's database,
// read as the client splits them (strings, comments and routine bodies included).
#include "scratch.h"

#include "base/handles.h"
#include "svc/dump_scope.h"

namespace {

class DumpScope : public ScratchProgramData {
  protected:
    std::optional<std::string> finding(const std::string& sql) {
        put("dump.sql", sql);
        UniqueFile file(CreateFileW(widen(join_path(data_root(), "dump.sql")).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        auto read = read_dump_scope(file.get(), "kelta_retail");
        EXPECT_TRUE(read.has_value()) << read.error();
        return read ? read->outside : std::nullopt;
    }
};

// As mysqldump --databases kelta_retail --routines --triggers writes it, with SQL-looking text
// in strings and comments that is none.
constexpr std::string_view shop_dump =
    "-- MySQL dump 10.13\n/*!40101 SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO' "
    "*/;\n/*M!999999\\- enable the sandbox mode */\n"
    "CREATE DATABASE /*!32312 IF NOT EXISTS*/ `KELTA_RETAIL` /*!40100 DEFAULT CHARACTER SET "
    "utf8mb4 */;\nUSE `kelta_retail`;\nDROP TABLE IF EXISTS `item`;\nCREATE TABLE `item` (\n"
    "  `user` varchar(40) COMMENT 'GRANT; USE mysql'\n) ENGINE=InnoDB;\n"
    "INSERT INTO `item` VALUES ('it\\'s; DROP USER x; USE `mysql`'),('-- GRANT');\n"
    "# USE mysql;\n/* GRANT ALL ON *.* TO x; */\nDELIMITER ;;\n"
    "CREATE DEFINER=`root`@`localhost` PROCEDURE `p`()\nBEGIN\n  SELECT `item`.`user` FROM "
    "`item`;\n  UPDATE item SET password = 'x';\nEND ;;\nDELIMITER ;\n"
    "/*!50003 CREATE*/ /*!50017 DEFINER=`root`@`localhost`*/ /*!50003 TRIGGER `t` BEFORE INSERT "
    "ON `item` FOR EACH ROW SET NEW.`user` = CURRENT_USER */;\n-- Dump completed\n";

TEST_F(DumpScope, TheShopsDatabaseAloneIsAcceptedAndWhatLeavesItIsNamedWithItsLine) {
    EXPECT_EQ(finding(std::string(shop_dump)), std::nullopt);
    const std::pair<std::string, std::string> refused[] = {
        {"USE `mysql`;", "USE `mysql` at line 2"},
        {"CREATE SCHEMA IF NOT EXISTS `other`;", "CREATE SCHEMA `other` at line 2"},
        {"/*!40000 DROP DATABASE IF EXISTS `other`*/;", "DROP DATABASE `other` at line 2"},
        {"INSERT INTO `mysql` . `user` VALUES (1);", "`mysql`.`user` at line 2"},
        {"/*!50003 GRANT ALL ON *.* TO x */;", "GRANT at line 2"},
        {"create user x;", "CREATE USER at line 2"},
        {"SET PASSWORD FOR root = 'x';", "SET PASSWORD at line 2"},
        {"DELIMITER $$\nCREATE PROCEDURE p() BEGIN\nRENAME USER a TO b; END$$",
         "RENAME USER at line 4"},
        {"CALL p();", "CALL at line 2"},
        {"source other.sql", "source at line 2"},
        // What the server, running as the local system, would write, read or load.
        {"SET @a = 1, @@GLOBAL.general_log_file = 'C:/x.bat';", "SET GLOBAL at line 2"},
        {"SELECT 1, 2, 3, 4, 5, 6, 7, 8, 9 INTO DUMPFILE 'C:/x.bat';", "DUMPFILE at line 2"},
        {"/*!50003 CREATE FUNCTION f RETURNS STRING SONAME 'x.dll' */;", "SONAME at line 2"},
        {"UNINSTALL PLUGIN validate_password;", "UNINSTALL PLUGIN at line 2"},
        {"LOAD DATA INFILE 'C:/x' INTO TABLE t;", "LOAD DATA at line 2"},
        {"INSERT INTO t VALUES (LOAD_FILE('C:/ProgramData/x.ini'));", "LOAD_FILE at line 2"},
        {"CREATE TABLE t (a INT) DATA DIRECTORY = 'C:/Windows';", "DIRECTORY at line 2"},
        // After NO_BACKSLASH_ESCAPES the string ends at the second quote.
        {"SET sql_mode = 'NO_BACKSLASH_ESCAPES';\nINSERT INTO t VALUES ('x\\'); DROP USER x; -- "
         "');",
         "DROP USER at line 3"},
    };
    for (const auto& [sql, named] : refused)
        EXPECT_EQ(finding("USE kelta_retail;\n" + sql + "\n"), named) << sql;
}

} // namespace
