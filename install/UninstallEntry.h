// The installation's entry "QXTClient" in the list of installed programs.
#pragma once

#include "core/InstallInfo.h"
#include "core/ProductNames.h"

#include <windows.h>

// Fills the record from an existing entry (the version from the client
// executable in the entry's install folder). 1 when the entry exists; 0 and an
// all-zero record when it does not.
BOOL ReadUninstallEntry(InstallInfo& info);

// Writes the record as the entry (creating it when missing). 1 when the
// entry's key could be opened or created and every value was written; what
// failed is logged as an error.
BOOL WriteUninstallEntry(InstallInfo& info);
