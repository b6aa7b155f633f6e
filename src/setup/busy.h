#pragma once
// The busy state as the window shows it: one job at a time, the window disabled with a marquee
// while it runs, its result in the status line afterwards.
#include "jobs/jobs.h"

#include <windows.h>

// Marks the window busy and starts the job on its own thread; ignored while a job runs.
void start_job(HWND window, Job job);
// The job has ended: the window is enabled again, without its marquee, and comes forward.
void end_busy(HWND window);
