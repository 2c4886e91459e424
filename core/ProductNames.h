// The product's names, written once: files in the install folder, the names
// the installation shows, and the registry places it writes.
#pragma once

// Files in the install folder.
inline constexpr wchar_t kClientExe[] = L"QXTClient.exe";
inline constexpr wchar_t kUninstallerExe[] = L"QXTUnist.exe";
// The client's settings file in its data folder.
inline constexpr wchar_t kClientConfigFile[] = L"QXTClient.ini";

// The default install folder's name, the Programs menu folder and the Run value.
inline constexpr wchar_t kClientFolderName[] = L"QXTClient";

// Shown in the list of installed programs, on the shortcuts and as the data folder.
inline constexpr wchar_t kDisplayName[] = L"Quolix";
inline constexpr wchar_t kPublisher[] = L"Tarvenn";

// Shortcut files and the uninstaller shortcut's description.
inline constexpr wchar_t kClientShortcutFile[] = L"Quolix.lnk";
inline constexpr wchar_t kUninstallShortcutFile[] = L"卸载Quolix.lnk";
inline constexpr wchar_t kUninstallShortcutDescription[] = L"卸载Quolix";

// Registry, under HKEY_LOCAL_MACHINE: the entry in the list of installed
// programs (its last part is the folder name), and the value under the Run key
// that starts the client with Windows.
inline constexpr wchar_t kUninstallEntryKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QXTClient";
inline constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"QXTClient";

// Under HKEY_LOCAL_MACHINE, in the product's own key: the owners and access
// lists of keys opened to the installers, one value per key (named as the
// security functions name the key, the data its descriptor as SDDL), kept
// only while the keys are open.
inline constexpr wchar_t kSavedKeyAccessKey[] = L"SOFTWARE\\QXTClient\\SavedKeyAccess";
// The product's own key under HKEY_LOCAL_MACHINE: what the setup keeps for
// its next run (the highest signed file list version accepted).
inline constexpr wchar_t kProductKey[] = L"SOFTWARE\\QXTClient";
inline constexpr wchar_t kAcceptedListVersionValue[] = L"AcceptedFileListVersion";
