// The French and Spanish table and the lookup rules of the translation, as pure functions of
// the language: exact keys, the reference texts, the shape of every text, the fallbacks.
#include "base/text.h"
#include "i18n/tr.h"
#include "i18n/translations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Every English key the program passes to tr, in byte order.
constexpr std::string_view expected_keys[] = {
    " is CLOSED - other registers cannot connect",
    "% = any computer",
    "%1 can be changed by users who are not administrators; choose a folder that only "
    "administrators can change.",
    "%1 cannot be read: %2",
    "%1 changes more than the shop's database (%2); nothing was changed.",
    "%1 is a link to another place; choose the folder itself.",
    "%1 is not a complete backup; nothing was changed.",
    "%1 is on a network share or a FAT drive, where files have no access rights: whoever reaches "
    "that place can read the backups there.",
    "%1 registers are connected (%2). ",
    "%1 registers are connected: %2",
    "%1 registers connected",
    "%1: %2=%3 cannot be used",
    "%1: the copy is not as large as the dump",
    "(all network cards)",
    "(not found on this computer)",
    ", so the other registers cannot connect to this database.\n\nOpen the port in Windows "
    "Firewall now?",
    "1 register connected",
    "1 register is connected (%1). ",
    "1 register is connected: %1",
    "A network folder needs write rights for this computer's account.",
    "A register can log in to %1 port %2 (answer in %3 ms).",
    "A restore was interrupted (started %1); the database may be only partly restored. Put back "
    "the data from before it, on the Backup & restore page of the Setup window or with "
    "--restore:\n%2",
    "A restore was interrupted. Its safety dump: %1",
    "A restore was interrupted: put back %1 on the Backup & restore page",
    "About",
    "All files (*.*)",
    "Allowed host",
    "Allowed host: use an IP address, a pattern such as 192.168.1.% or %; computer names cannot "
    "log in",
    "Another KELTA Retail MySQL operation is running",
    "Another MySQL server is using the data folder.",
    "Apply",
    "Automatic backup",
    "Automatic backup failed",
    "Automatic backup failed:",
    "Automatic backup settings saved",
    "Back up",
    "Back up database",
    "Back up database...",
    "Back up now...",
    "Back up...",
    "Backup & restore",
    "Backup done:",
    "Backup done: ",
    "Browse...",
    "Changing the port or server IP restarts MySQL; the registers then have to connect with the "
    "new settings.",
    "Choose another port, such as %1, on the Connection page of the Setup window or with --apply; "
    "every register must then be set to the new port.",
    "Close",
    "Connected now: %1 \u2014 %2",
    "Connection",
    "Connection for the registers",
    "Connection string",
    "Connection string copied",
    "Copies kept",
    "Copy",
    "Copy connection string",
    "Copy the backups to this folder",
    "Copy to",
    "Copy to: choose a folder other than the backup folder",
    "Copy to: give a full path, such as E:\\Backups, or leave it empty",
    "Data",
    "Data folder",
    "Data location",
    "Database",
    "Database: mysql, sys, information_schema and performance_schema belong to the server",
    "End the old MySQL process and start",
    "Error log",
    "Error logs are split automatically at 10 MB; the last 5 are kept.",
    "Every day at",
    "Exit tray (MySQL keeps running)",
    "Export the whole database to a .sql file that you can keep on a USB drive or another "
    "computer.",
    "Finish it with \"Rebuild from backup...\" on the Overview page of the Setup window, or with "
    "--recover.",
    "Folder",
    "Folder rights repaired and MySQL started",
    "Folder: give a full path, such as D:\\Backups",
    "General",
    "Generate",
    "Hide",
    "Install MySQL service",
    "Install service",
    "KELTA Retail MySQL must run from a folder that only administrators can change: %1",
    "Keep the backups in this folder",
    "Language",
    "Last automatic backup:",
    "Last backup:",
    "Log folder",
    "Logs",
    "Make room on %1, then start MySQL.",
    "Manual start",
    "MySQL cannot listen at %1: that address is not on this computer. Choose the server IP on the "
    "Connection page.",
    "MySQL cannot start on this computer: %1",
    "MySQL could not be started, so nothing was restored.",
    "MySQL did not start: %1",
    "MySQL does not listen at %1 port %2 (my.ini: bind-address %3, port %4).",
    "MySQL is not running, so no register can log in.",
    "MySQL is running",
    "MySQL is running but not accepting connections yet",
    "MySQL is running; there is nothing to fix.",
    "MySQL is starting...",
    "MySQL is stopped",
    "MySQL is stopping...",
    "MySQL listens only on this computer (bind-address %1 in my.ini), so registers on other "
    "computers cannot connect. Choose the server IP on the Connection page.",
    "MySQL may not read its files in %1.",
    "MySQL restarted",
    "MySQL service",
    "MySQL service installed",
    "MySQL service uninstalled (data kept)",
    "MySQL started",
    "MySQL stopped",
    "Nightly log rotation task missing",
    "No automatic backup since %1",
    "No automatic backup yet",
    "No backup yet",
    "No complete backup was found to rebuild the database from; nothing was changed.",
    "No failed start is recorded; there is nothing to fix.",
    "No register connected",
    "Number kept: from 1 to 365",
    "Open data folder",
    "Open error log",
    "Open folder",
    "Open port",
    "Open safety backups",
    "Open the drive",
    "Open the port in Windows Firewall for other registers",
    "Overview",
    "Password",
    "Port",
    "Port %1 is already in use by %2 (PID %3).",
    "Port %1 is already in use by another program.",
    "Port must be a number (1024 - 65535)",
    "Port opened in Windows Firewall",
    "Put back the data",
    "Putting the data back failed too:",
    "Putting the previous settings back failed too:",
    "Rebuild from backup...",
    "Rebuild the database from the backup of %1?\n%2\n\nData entered after %1 will be lost. The "
    "damaged files are kept in %3.",
    "Registers connect to it",
    "Repair folder rights",
    "Replace the current database with a .sql backup. The current data is saved automatically "
    "first.",
    "Restart",
    "Restarting MySQL disconnects them. Restart anyway?",
    "Restore",
    "Restore a backup.",
    "Restore database",
    "Restore database...",
    "Restore done. Data before the restore was saved to:",
    "Restore done: ",
    "Restore from backup...",
    "Restore the last backup (%1).",
    "Restore this backup",
    "Restore this safety dump by hand:",
    "Restore...",
    "Restoring replaces ALL current data in the database with the backup.\nThe current data is "
    "saved automatically first.\n\nContinue?",
    "Restoring replaces the data they are working with. Restore anyway?",
    "Run automatic backup now",
    "Running in the system tray. Double-click the icon to open Setup.",
    "SQL backup (*.sql)",
    "Same as Windows",
    "Save",
    "Save support file",
    "Save support file\u2026",
    "Saving restarts MySQL and disconnects them. Save anyway?",
    "Server",
    "Server IP",
    "Set this line aside and start",
    "Settings saved. Connect the registers with:",
    "Settings saved. The registers connect with the information on the Overview page.",
    "Setup",
    "Setup...",
    "Show",
    "Show tray icon at logon",
    "Start",
    "Start MySQL with Windows",
    "Start on %1 failed: %2",
    "Starting MySQL, then restoring...",
    "Starts with Windows",
    "Startup",
    "Stop",
    "Stopping MySQL disconnects them. Stop anyway?",
    "Support file (*.zip)",
    "Support file saved:",
    "Test connection",
    "The MySQL service is not installed",
    "The automatic backup task is missing",
    "The backup the unfinished rebuild restores, %1, is gone or cannot be used; rebuild from "
    "another backup with --recover <file>.",
    "The damaged files are kept in %1 and %2 holds the new database; to go back, stop MySQL, "
    "rename %2 to keep it aside and rename %1 to %2.",
    "The database %1 does not exist.",
    "The database files are damaged.",
    "The database was put back as it was before the restore, from:",
    "The database was rebuilt from the backup of %1 (tables: %4) in %2 s:\n%3\nThe damaged files "
    "are kept in %5.",
    "The database's system tables are missing or damaged.",
    "The disk is full (%1 free on %2).",
    "The line was set aside and MySQL started. my.ini as it was: %1",
    "The nightly automatic backup could not be set up; the database is backed up only when you "
    "start a backup.",
    "The nightly log rotation could not be set up; the error log is rotated only when MySQL "
    "starts.",
    "The previous settings are back in place.",
    "The rebuild of the database from the backup of %1 did not finish (started %2): MySQL may be "
    "running on a new, empty database. The damaged files are kept in %3.",
    "The test login failed: %1",
    "These could not be removed; remove them by hand:",
    "This backup changes more than the shop's database (other databases, MySQL's own tables or "
    "its accounts); nothing was restored:",
    "This cannot be fixed from here; nothing was changed.",
    "This computer can log in, but Windows Firewall keeps other computers out of port %1.",
    "This computer's address %1 may not log in as %2 (allowed host: %3).",
    "This dump was cut short (its \"-- Dump completed\" line is missing); nothing was restored:",
    "Time: use hours and minutes, such as 02:30",
    "Undo",
    "Undo changes",
    "Uninstall MySQL service (keeps data)",
    "Uninstall service",
    "Uninstall the MySQL service?\n\nMySQL will be stopped, and the Windows service, the firewall "
    "rule and the daily log-rotation task will be removed. The registers will no longer be able to "
    "connect.\n\nThe database files are NOT deleted. They stay in:\n",
    "Uninstalling the service disconnects them. Uninstall anyway?",
    "Use another port...",
    "Use the full network path (\\\\server\\share) instead of drive %1",
    "User",
    "Version",
    "Windows Firewall will block port",
    "Windows Firewall: checking\u2026",
    "Windows Firewall: could not be checked",
    "Windows Firewall: open for other computers, port",
    "Windows Firewall: port",
    "Windows will not restart MySQL by itself after a crash.",
    "Working, please wait...",
    "Wrong password: the server refused user %1.",
    "You have unsaved changes on the Connection page. Discard them?",
    "a program library (DLL) it needs is missing (%1).",
    "connection.ini not found",
    "copy to %1 failed: %2",
    "its program files do not suit this Windows or are damaged (%1).",
    "my.ini has an option this MySQL does not know: %1.",
    "my.ini: [%1] sets %2, which the server uses instead of %3",
    "not enough disk space in %1: %2 free, the last dump took %3",
    "ok",
    "port",
    "running",
    "running, not accepting connections yet",
    "service not installed",
    "starting...",
    "stopped",
    "stopping...",
    "the dump stopped making progress",
    "this computer",
};

// Rows whose French and Spanish wording is fixed (page names, tray menu, service states, job
// results, the main confirmations). "General" is listed twice on purpose: it is the page name
// and the one Spanish text that equals its key.
constexpr TranslationRow reference_rows[] = {
    {"Overview", "Vue d'ensemble", "Resumen"},
    {"Connection", "Connexion", "Conexión"},
    {"Backup & restore", "Sauvegarde et restauration", "Copia y restauración"},
    {"General", "Général", "General"},
    {"Start", "Démarrer", "Iniciar"},
    {"Stop", "Arrêter", "Detener"},
    {"Restart", "Redémarrer", "Reiniciar"},
    {"Setup...", "Configuration...", "Configuración..."},
    {"Back up now...", "Sauvegarder maintenant...", "Hacer copia ahora..."},
    {"Start MySQL with Windows", "Démarrer MySQL avec Windows", "Iniciar MySQL con Windows"},
    {"Show tray icon at logon", "Afficher l'icône à l'ouverture de session",
     "Mostrar el icono al iniciar sesión"},
    {"Install MySQL service", "Installer le service MySQL", "Instalar servicio MySQL"},
    {"Uninstall MySQL service (keeps data)", "Désinstaller le service MySQL (conserve les données)",
     "Desinstalar servicio MySQL (conserva los datos)"},
    {"Exit tray (MySQL keeps running)", "Quitter l'icône (MySQL continue de fonctionner)",
     "Salir del icono (MySQL sigue funcionando)"},
    {"Running in the system tray. Double-click the icon to open Setup.",
     "En cours d'exécution dans la barre d'état. Double-cliquez sur l'icône pour la configuration.",
     "En ejecución en la bandeja del sistema. Doble clic en el icono para la configuración."},
    {"MySQL is running", "MySQL est en cours d'exécution", "MySQL está en ejecución"},
    {"MySQL is running but not accepting connections yet",
     "MySQL est lancé mais n'accepte pas encore de connexions",
     "MySQL está en ejecución pero aún no acepta conexiones"},
    {"MySQL is starting...", "MySQL démarre...", "MySQL se está iniciando..."},
    {"MySQL is stopping...", "MySQL s'arrête...", "MySQL se está deteniendo..."},
    {"MySQL is stopped", "MySQL est arrêté", "MySQL está detenido"},
    {"The MySQL service is not installed", "Le service MySQL n'est pas installé",
     "El servicio MySQL no está instalado"},
    {"running", "en cours d'exécution", "en ejecución"},
    {"running, not accepting connections yet",
     "en cours d'exécution, n'accepte pas encore de connexions",
     "en ejecución, aún no acepta conexiones"},
    {"starting...", "démarrage...", "iniciando..."},
    {"stopping...", "arrêt...", "deteniendo..."},
    {"stopped", "arrêté", "detenido"},
    {"service not installed", "service non installé", "servicio no instalado"},
    {"MySQL started", "MySQL démarré", "MySQL iniciado"},
    {"MySQL stopped", "MySQL arrêté", "MySQL detenido"},
    {"MySQL restarted", "MySQL a redémarré", "MySQL reiniciado"},
    {"MySQL service installed", "Service MySQL installé", "Servicio MySQL instalado"},
    {"MySQL service uninstalled (data kept)", "Service MySQL désinstallé (données conservées)",
     "Servicio MySQL desinstalado (datos conservados)"},
    {"Port opened in Windows Firewall", "Port ouvert dans le Pare-feu Windows",
     "Puerto abierto en el Firewall de Windows"},
    {"Working, please wait...", "Traitement en cours, veuillez patienter...",
     "Procesando, espere..."},
    {"Restoring replaces ALL current data in the database with the backup.\nThe current data is "
     "saved automatically first.\n\nContinue?",
     "La restauration remplace TOUTES les données actuelles de la base par la sauvegarde.\nLes "
     "données actuelles sont d'abord sauvegardées automatiquement.\n\nContinuer ?",
     "La restauración reemplaza TODOS los datos actuales de la base de datos por la copia de "
     "seguridad.\nAntes se guarda automáticamente una copia de los datos actuales.\n\n¿Continuar?"},
    {"Uninstall the MySQL service?\n\nMySQL will be stopped, and the Windows service, the firewall "
     "rule and the daily log-rotation task will be removed. The registers will no longer be able "
     "to connect.\n\nThe database files are NOT deleted. They stay in:\n",
     "Désinstaller le service MySQL ?\n\nMySQL sera arrêté, puis le service Windows, la règle du "
     "pare-feu et la tâche quotidienne de rotation des journaux seront supprimés. Les caisses ne "
     "pourront plus se connecter.\n\nLes fichiers de la base de données ne sont PAS supprimés. Ils "
     "restent dans :\n",
     "¿Desinstalar el servicio MySQL?\n\nMySQL se detendrá y se eliminarán el servicio de Windows, "
     "la regla del firewall y la tarea diaria de rotación de registros. Las cajas ya no podrán "
     "conectarse.\n\nLos archivos de la base de datos NO se eliminan. Se conservan en:\n"},
    {", so the other registers cannot connect to this database.\n\nOpen the port in Windows "
     "Firewall now?",
     " : les autres caisses ne pourront pas se connecter à cette base de données.\n\nOuvrir le "
     "port dans le Pare-feu Windows maintenant ?",
     ": las demás cajas no podrán conectarse a esta base de datos.\n\n¿Abrir el puerto en el "
     "Firewall de Windows ahora?"},
    {"You have unsaved changes on the Connection page. Discard them?",
     "La page Connexion contient des modifications non enregistrées. Les abandonner ?",
     "La página Conexión tiene cambios sin guardar. ¿Descartarlos?"},
    {"Same as Windows", "Comme Windows", "Igual que Windows"},
    {"Port", "Port", "Puerto"},
    {"General", "Général", "General"},
    {"Version", "Version", "Versión"},
    {"port", "port", "puerto"},
};

bool is_ascii_punctuation(char c) {
    return std::strchr("!\"#%&'()*+,-./:;<=>?@[]^_`{|}~", c);
}

std::string_view without_trailing_breaks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

// What a translation keeps of its key: the blank or punctuation at its start, the blank at its
// end, every line break and the closing punctuation. French sets a blank before a colon, so a
// key that begins with punctuation may become one blank and punctuation.
void expect_same_shape(std::string_view key, std::string_view text, const char* language) {
    SCOPED_TRACE(std::string(language) + " text of \"" + std::string(key) + "\"");
    ASSERT_FALSE(text.empty());
    if (key.front() == ' ') {
        EXPECT_EQ(text.front(), ' ');
    } else if (is_ascii_punctuation(key.front())) {
        std::string_view head = text.front() == ' ' ? text.substr(1) : text;
        ASSERT_FALSE(head.empty());
        EXPECT_TRUE(is_ascii_punctuation(head.front()));
    } else {
        EXPECT_NE(text.front(), ' ');
    }
    EXPECT_EQ(key.back() == ' ', text.back() == ' ');
    EXPECT_EQ(std::ranges::count(key, '\n'), std::ranges::count(text, '\n'));
    EXPECT_EQ(key.ends_with('\n'), text.ends_with('\n'));
    for (const char gap : {'1', '2', '3', '4'})
        EXPECT_EQ(key.find(std::string{'%', gap}) == key.npos,
                  text.find(std::string{'%', gap}) == text.npos);

    std::string_view key_end = without_trailing_breaks(key);
    std::string_view text_end = without_trailing_breaks(text);
    if (key_end.ends_with("...")) {
        EXPECT_TRUE(text_end.ends_with("..."));
    } else if (is_ascii_punctuation(key_end.back())) {
        EXPECT_EQ(text_end.back(), key_end.back());
    } else {
        EXPECT_FALSE(text_end.back() == '.' || text_end.back() == ':' || text_end.back() == '?');
    }
    EXPECT_TRUE(is_valid_utf8(text));
    EXPECT_EQ(text.find_first_of("\r\t"), std::string_view::npos);
}

TEST(TranslationTable, HoldsExactlyTheKeysInByteOrder) {
    auto table = translation_table();
    ASSERT_EQ(table.size(), std::size(expected_keys));
    for (size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(table[i].english, expected_keys[i]) << i;
    // Byte order (unsigned), each key once: what the binary search relies on.
    for (size_t i = 1; i < table.size(); ++i) {
        const auto& a = table[i - 1].english;
        const auto& b = table[i].english;
        int order = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
        EXPECT_TRUE(order < 0 || (order == 0 && a.size() < b.size())) << a << " / " << b;
    }
}

TEST(TranslationTable, ReferenceRowsAreExact) {
    for (const auto& expected : reference_rows) {
        const TranslationRow* row = find_translation(expected.english);
        ASSERT_NE(row, nullptr) << expected.english;
        EXPECT_EQ(row->french, expected.french) << expected.english;
        EXPECT_EQ(row->spanish, expected.spanish) << expected.english;
    }
}

TEST(TranslationTable, EveryTextKeepsTheShapeOfItsKey) {
    for (const auto& row : translation_table()) {
        expect_same_shape(row.english, row.french, "French");
        expect_same_shape(row.english, row.spanish, "Spanish");
    }
}

// Only four texts are their key unchanged; anything else equal to its key was forgotten.
TEST(TranslationTable, OnlyFourTextsEqualTheirKey) {
    std::vector<std::string> unchanged;
    for (const auto& row : translation_table()) {
        if (row.french == row.english) unchanged.push_back("fr " + std::string(row.english));
        if (row.spanish == row.english) unchanged.push_back("es " + std::string(row.english));
    }
    std::vector<std::string> expected = {"es General", "fr Port", "fr Version", "fr port"};
    std::ranges::sort(unchanged);
    EXPECT_EQ(unchanged, expected);
}

TEST(Translate, EnglishAndChineseComeBackAsPassed) {
    const std::string english = "Start";
    const std::string chinese = "启动";
    EXPECT_EQ(translate(Lang::en, english, chinese).data(), english.data());
    EXPECT_EQ(translate(Lang::zh, english, chinese).data(), chinese.data());
    // Chinese is never looked up, even for a text the table does not know.
    EXPECT_EQ(translate(Lang::zh, "no such key", "没有"), "没有");
    EXPECT_EQ(translate(Lang::fr, english, chinese), "Démarrer");
    EXPECT_EQ(translate(Lang::es, english, chinese), "Iniciar");
}

TEST(Translate, KeysMatchOnlyAsWholeExactTexts) {
    EXPECT_EQ(translate(Lang::fr, "Backup done:", "备份完成："), "Sauvegarde terminée :");
    EXPECT_EQ(translate(Lang::fr, "Backup done: ", "备份完成："), "Sauvegarde terminée : ");
    EXPECT_EQ(translate(Lang::es, "Backup done:", "备份完成："), "Copia de seguridad completada:");
    EXPECT_EQ(translate(Lang::es, "Backup done: ", "备份完成："),
              "Copia de seguridad completada: ");
    // Other capitals, extra blanks, a prefix or a longer text: English as passed.
    for (std::string_view miss : {"backup done:", "BACKUP DONE:", " Backup done:", "Backup done",
                                  "Backup done:  ", "Stopped", "Setup.", ""}) {
        const std::string text(miss);
        EXPECT_EQ(translate(Lang::fr, text, "x").data(), text.data()) << miss;
        EXPECT_EQ(translate(Lang::es, text, "x").data(), text.data()) << miss;
    }
}

TEST(Translate, TextsThatStayTheSame) {
    EXPECT_EQ(translate(Lang::fr, "Version", "版本"), "Version");
    EXPECT_EQ(translate(Lang::fr, "Port", "端口"), "Port");
    EXPECT_EQ(translate(Lang::fr, "port", "端口"), "port");
    EXPECT_EQ(translate(Lang::es, "General", "常规"), "General");
    EXPECT_EQ(translate(Lang::es, "Version", "版本"), "Versión");
    EXPECT_EQ(translate(Lang::es, "port", "端口"), "puerto");
    EXPECT_EQ(translate(Lang::fr, "General", "常规"), "Général");
}

// The Overview's firewall line is assembled around the port; each piece translates on its own.
TEST(Translate, SentencesAssembledAroundANumber) {
    auto firewall_line = [](Lang lang) {
        return std::string(translate(lang, "Windows Firewall: port", "")) + " 3307" +
               std::string(translate(lang, " is CLOSED - other registers cannot connect", ""));
    };
    EXPECT_EQ(firewall_line(Lang::en),
              "Windows Firewall: port 3307 is CLOSED - other registers cannot connect");
    EXPECT_EQ(
        firewall_line(Lang::fr),
        "Pare-feu Windows : port 3307 FERMÉ - les autres caisses ne peuvent pas se connecter");
    EXPECT_EQ(firewall_line(Lang::es),
              "Firewall de Windows: puerto 3307 CERRADO - las demás cajas no pueden conectarse");
}

} // namespace
