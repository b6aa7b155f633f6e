#pragma once
// The data folder's rights as install gives them, set again on everything in it: when MySQL, as
// the local system account, may no longer read its own files (a folder copied back from a USB
// drive, rights changed by hand or by another program).
#include "base/result.h"

// The data folder and everything inside owned by the Administrators group, open to the system
// account and that group only. Links inside are not followed; the first failure ends it.
Result<void> repair_data_rights();
