#pragma once
// The busy state as the window shows it: one job at a time, the window disabled with a marquee
// while it runs, its result in the status line afterwards.
#include "app/jobs.h"

#include <windows.h>

// Marks the window busy and starts the job on its own thread; ignored while a job runs.
void start_job(HWND window, Job job);

// MSG_JOB_DONE: ends the busy state, shows the job's result and reloads the pages.
void finish_job(HWND window);
