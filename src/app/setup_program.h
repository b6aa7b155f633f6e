#pragma once
// The Setup window process (--setup): one per logged-on user, elevated, running every operation
// in-process.
#include "setup/state.h"

#include <windows.h>

#include <cstdint>

inline constexpr wchar_t setup_mutex_name[] = L"KELTA.MySqlSetup.SingleInstance";

// Brings an open Setup window forward instead when one runs; returns when the window closes.
void run_setup_program(std::uint8_t initial_page);

// Everything after the single-instance test: scale, fonts, theme, class, the centred window
// with its controls filled, the refresh timer, shown. `state` must outlive the window and holds
// the initial page. Nothing when the window cannot be created.
HWND open_setup_window(SetupUiState& state);
