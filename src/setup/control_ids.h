#pragma once
// The fixed identifiers of the Setup window's child controls. The label of a check box has the
// box's identifier plus 100, so that a click on the label finds its box.
#include <windows.h>

namespace id {

inline constexpr int escape_key = IDCANCEL; // what IsDialogMessageW makes of the Escape key

// Overview
inline constexpr int overview_note_first = 225; // the stacked status lines below the detail line
inline constexpr int overview_note_slots = 5;
inline constexpr int status_text = 230;
inline constexpr int detail_line = 231;
inline constexpr int start_button = 232;
inline constexpr int stop_button = 233;
inline constexpr int restart_button = 234;
inline constexpr int test_connection = 235;
inline constexpr int connection_heading = 236;
inline constexpr int copy_connection_string = 237;
inline constexpr int show_password_overview = 238;
inline constexpr int install_button = 239; // Install service / Uninstall service, owner-drawn
inline constexpr int server_field = 240;
inline constexpr int port_field = 241;
inline constexpr int database_field = 242;
inline constexpr int user_field = 243;
inline constexpr int password_field = 244;
inline constexpr int connected_line = 245; // the computers connected now
inline constexpr int firewall_line = 246;
inline constexpr int open_port_button = 247;
inline constexpr int diagnosis_action = 248; // the one action beside why the last start failed

// Connection
inline constexpr int port_edit = 201;
inline constexpr int database_edit = 202;
inline constexpr int user_edit = 203;
inline constexpr int password_edit = 204;
inline constexpr int host_edit = 205;
inline constexpr int server_ip_list = 207;
inline constexpr int show_password_connection = 208;
inline constexpr int generate_password = 210;
inline constexpr int save_button = 212;
inline constexpr int undo_button = 213;
inline constexpr int firewall_box = 214;
inline constexpr int validation_message = 215;
inline constexpr int port_change_hint = 216;
inline constexpr int host_hint = 217;

// Backup & restore
inline constexpr int backup_heading = 250;
inline constexpr int backup_hint = 251;
inline constexpr int last_backup_line = 252;
inline constexpr int backup_now = 253;
inline constexpr int restore_heading = 254;
inline constexpr int restore_hint = 255;
inline constexpr int restore_from_backup = 256;
inline constexpr int open_safety_backups = 257;
inline constexpr int data_location_heading = 258;
inline constexpr int data_location = 259;
inline constexpr int open_data_folder = 260;

// Backup & restore: the automatic backup card and the list of its dumps
inline constexpr int automatic_heading = 320;
inline constexpr int automatic_backup_now = 321;
inline constexpr int automatic_box = 322; // its label: 422
inline constexpr int backup_time_picker = 324;
inline constexpr int backups_kept_label = 325;
inline constexpr int backups_kept_edit = 326;
inline constexpr int backup_folder_label = 327;
inline constexpr int backup_folder_edit = 328;
inline constexpr int backup_folder_browse = 329;
inline constexpr int copy_to_label = 330;
inline constexpr int copy_to_edit = 331;
inline constexpr int copy_to_browse = 332;
inline constexpr int automatic_result = 333;
inline constexpr int automatic_undo = 334;
inline constexpr int automatic_save = 335;
inline constexpr int automatic_dump_list = 336;
inline constexpr int restore_listed = 337;
inline constexpr int network_share_hint = 338;

// General
inline constexpr int startup_heading = 270;
inline constexpr int start_with_windows_box = 271;
inline constexpr int tray_at_logon_box = 272;
inline constexpr int language_heading = 273;
inline constexpr int language_list = 274;
inline constexpr int logs_heading = 275;
inline constexpr int log_split_hint = 276;
inline constexpr int open_error_log = 277;
inline constexpr int log_folder = 278;
inline constexpr int about_heading = 279;
inline constexpr int about_line = 280;
inline constexpr int copyright_line = 281;
inline constexpr int save_support_file = 282;

// The frame, on every page
inline constexpr int progress_bar = 290;
inline constexpr int status_line = 291;

inline constexpr int checkbox_label_offset = 100;

} // namespace id
