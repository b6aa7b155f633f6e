#pragma once
// ConnectionSettings: how the managed server is reached and secured, kept in connection.ini.
#include "base/result.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The port of a fresh installation, and the fallback for any port value that does not parse.
inline constexpr std::uint16_t default_port = 3307;
// The length of a generated root password.
inline constexpr std::size_t root_password_length = 24;

struct ConnectionSettings {
    std::uint16_t port = default_port;
    std::string database = "kelta_retail";
    std::string user = "kelta_retail";
    std::string password;
    std::string host = "%";
    std::string bind = "0.0.0.0";
    bool firewall = true;
    std::string root_password;

    bool operator==(const ConnectionSettings&) const = default;
};

// n characters of the URL-safe Base64 alphabet from the system's cryptographic generator.
// A failing generator ends the process.
std::string random_password(std::size_t length);

// The defaults with a fresh 16-character password and a fresh 24-character root password.
ConnectionSettings default_settings();

// The tolerant reader of the connection.ini format; never fails.
ConnectionSettings parse_settings(std::string_view text);
// The file's exact content as save_settings writes it.
std::string render_settings(const ConnectionSettings& settings);

// The whole file as UTF-8, parsed; errors read "<path>: <reason>".
Result<ConnectionSettings> read_settings_file(const std::string& path);
// A settings file handed to an elevated mode (--config): used only when an administrator made
// it and nobody else may change it, then deleted through the handle it was read from (it holds
// passwords in plain text), so that no other file of that name is deleted instead. One that is
// not UTF-8 text goes too, or stays for the installer to mend (`keep_unreadable`).
Result<ConnectionSettings> take_settings_file(const std::string& path, bool keep_unreadable);
// connection.ini, else the legacy connection.txt, else nothing; only a file that is the
// administrators' own counts (a planted one is as good as none).
std::optional<ConnectionSettings> load_settings();
// Looks at a connection.ini.new that a save cut off (the program killed, a power cut) left
// behind, before anything replaces or reads past it: written in full and either replacing no
// connection.ini or keeping its root password, it takes its place (it may hold the only copy of
// the root password a new server was given); cut off while being written, it goes; otherwise it
// is set aside with ".interrupted-" and the local time. Each is named in tray.log.
void settle_interrupted_save();

// Replaces connection.ini in one step with a copy that only the system and administrators can
// read, then removes the legacy connection.txt. A connection.ini.new left by an earlier save is
// settled first. A failed icacls is reported, but the new file
// takes its place all the same (and connection.txt stays): the next save tries again.
Result<void> save_settings(const ConnectionSettings& settings);
