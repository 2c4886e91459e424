// A registry key opened to the installers for the time they run: Everyone may
// read, write, create sub-keys and delete in it, but never change its owner or
// access list. Its owner and access list are saved first under the product's
// own key, so that a run that does not end (killed, crashed, or the machine
// restarted for an installer) leaves behind what the next run puts back.
//
// Keys are named as the security functions name them:
// "MACHINE\SOFTWARE\Microsoft\Internet Explorer\MAIN\".
#pragma once

#include <windows.h>

// Saves the key's owner and access list (unless a run that did not end saved
// them already: those are the originals), then adds the entry for Everyone.
// False when the key cannot be read, saved or changed; every failure is
// logged. Whatever the result, RestoreInstallerKeyAccess puts back what was saved.
bool GrantInstallerKeyAccess(const wchar_t* objectName);

// Puts back the saved owner and access list, reads them back and, when the
// key has them again, forgets them. True when nothing was saved or the key is
// as it was; false (logged as an error, the saved copy kept for the next run)
// otherwise.
bool RestoreInstallerKeyAccess(const wchar_t* objectName);

// Restores every key whose owner and access list a run that did not end left
// saved. False when one of them could not be restored.
bool RestoreLeftInstallerKeyAccess();
