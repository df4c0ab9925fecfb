// Sector view: read, rebuild, format and show one sector.
// PLACEHOLDER: the main window issue replaces this file.
#include "quillet.h"

void ShowSector(HWND) {}
void UpdateStepControls(void) {}
void ToggleAutoSector(void) {}
