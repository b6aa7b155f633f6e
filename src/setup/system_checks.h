#pragma once
// What the pages ask Windows tools about the system: whether Windows Firewall has the rule, and
// whether the Task Scheduler has the nightly rotation and backup tasks. netsh and schtasks are
// child programs that may take their time or hang, so they never run on the window's thread: the
// window shows at once with "checking…", and the answer arrives as a message.
#include <windows.h>

// Posted by the checks' thread: wParam holds the answers (check_firewall_open,
// check_rotation_task, check_firewall_unknown when netsh could not tell, check_backup_task when
// check_backup_task_known), lParam the generation of the load that asked.
inline constexpr UINT MSG_CHECKS_DONE = WM_APP + 17;
inline constexpr WPARAM check_firewall_open = 1;
inline constexpr WPARAM check_rotation_task = 2;
inline constexpr WPARAM check_firewall_unknown = 4;
inline constexpr WPARAM check_backup_task = 8;
inline constexpr WPARAM check_backup_task_known = 16; // schtasks answered about it
// Timer 2 starts the tools: a timer message comes only once everything waiting, the window's
// painting included, is done.
inline constexpr UINT_PTR checks_timer = 2;

// Forgets the last answers and has the checks run on a thread of their own once the window has
// painted: starting a program keeps Wine's server busy, and the first paint would wait for it.
void start_system_checks(HWND window);
// Timer 2: the thread starts.
void run_system_checks(HWND window);
// MSG_CHECKS_DONE: the answers of the latest load go into the pages; older ones are dropped.
void take_system_checks(HWND window, WPARAM answers, LPARAM generation);
// Returns once no check runs any more, which the tools' own time limits bound. A process must
// not end while a check starts its tool: under Wine a child whose parent ended in the middle of
// CreateProcessW never starts, and stays for good.
void wait_for_system_checks();
