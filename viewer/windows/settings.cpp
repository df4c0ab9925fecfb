// Settings in the registry: open, default, load and save.
// PLACEHOLDER: the main window issue replaces this file.
#include "quillet.h"

BOOL OpenSettings(void) { return TRUE; }
void CloseSettings(void) {}
void LoadWindowRect(WindowSlot, RECT*) {}
void SaveWindowRect(WindowSlot, const RECT*) {}
DWORD LoadSetting(SettingId id) { return DefaultSetting(id); }
void SaveSetting(SettingId, DWORD) {}
