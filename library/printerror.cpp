// PrintError: a platform error code shown with its system text.
#include "internal.h"

#include <stdio.h>

#include "tamrisk_ids.h"
#include "textutil.h"

enum { kPrintErrorTextSize = 256, kSystemTextSize = 256 };

extern "C" int WINAPI PrintError(HWND owner, DWORD code, LPCSTR text)
{
    char system_text[kSystemTextSize];
    // Inserts are ignored: with no arguments to fill them, a system text
    // with %1 would otherwise be read with arguments that do not exist.
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, 0,
                                  system_text, sizeof system_text, NULL);
    if (length == 0)
        snprintf(system_text, sizeof system_text, "Format message failed.  Error: %d\n", (int)GetLastError());

    // The label is loaded into a buffer of its own: the caller's text may be
    // SetString's shared buffer, which SetString would overwrite.
    char label[64];
    if (LoadStringA(hInst, IDS_CDR_ERROR_CODE_LABEL, label, sizeof label) <= 0)
        label[0] = '\0';
    char message[kPrintErrorTextSize];
    ComposeErrorText(message, sizeof message, system_text, label, (long)(LONG)code, text);
    return MessageBoxA(owner, message, "Vorant Library", MB_OK | MB_ICONWARNING);
}
