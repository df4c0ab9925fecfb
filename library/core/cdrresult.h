/* Command results and report flags of tamrisk.dll's CD-ROM commands. C and
   C++, no platform headers: tamrisk.h gives them to the library's callers,
   and the portable status and sense decision returns them. */
#pragma once

/* The report argument: CDR_SILENT fails quietly with CDR_FAILED; CDR_REPORT
   (any nonzero value) asks the user Retry/Cancel. */
enum { CDR_SILENT = 0, CDR_REPORT = 1 };

/* A command's result (short): CDR_FAILED is Cancel, or a failure with
   reporting off; CDR_REFUSED, cdrMode with a block length it does not set. */
enum { CDR_SUCCESS = 0, CDR_FAILED = 2, CDR_REFUSED = -1 };
