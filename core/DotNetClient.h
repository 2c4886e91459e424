// Whether the .NET Framework 4 Client Profile is installed: the download asks
// for the file list that fits, and the prerequisite step skips its installer.
#pragma once

// True when the value "Install" of the Client Profile's setup key (the
// "v4.0" spelling first, then "v4") under HKEY_LOCAL_MACHINE is 1.
bool DotNetClientInstalled();
