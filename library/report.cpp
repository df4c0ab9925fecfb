// Status and sense reporting: turns a command's status and sense data into a
// command result, asking the user Retry/Cancel where a failure is reported.
#include "internal.h"

#include <stdio.h>
#include <string.h>

#include "sense.h"
#include "textutil.h"

// Texts of the last reported failure: the sense-key caption and the ASC/ASCQ
// description.
static char cap_str[kCaptionSize];
static char szSCSIstr[kDescriptionSize];

namespace {

// SetString's text is shared and overwritten by the next call, while the
// decision may look up a caption and then a description: each lookup gets a
// copy of its own.
struct LookupCopies {
    char text[2][256];
    int next;
};

}  // namespace

static const char* lookup_string(void* ctx, unsigned id)
{
    LookupCopies* copies = (LookupCopies*)ctx;
    char* slot = copies->text[copies->next];
    copies->next = (copies->next + 1) % 2;
    CopyCp932(slot, sizeof copies->text[0], SetString(hInst, id));
    return slot;
}

// Shows the box the decision asked for, or returns its result.
static int apply_outcome(HWND owner, const ScsiOutcome& outcome)
{
    // The sense-key text is kept whenever the key was named, also when the
    // box shows it as its body under the default caption.
    if (outcome.caption[0])
        CopyCp932(cap_str, sizeof cap_str, outcome.caption);
    if (outcome.has_description)
        CopyCp932(szSCSIstr, sizeof szSCSIstr, outcome.description);
    if (!outcome.ask)
        return outcome.result;
    int answer = MessageBoxA(owner, outcome.text, outcome.has_caption ? cap_str : NULL, outcome.style);
    // Only Retry repeats the command; a box that could not be shown counts
    // as Cancel, never as success.
    return answer == IDRETRY ? (int)kResultRetry : (int)CDR_FAILED;
}

// A disc image knows why a block cannot be read (a damaged hunk of a
// compressed image, a file cut short): the box says it under the sense text.
static void add_image_reason(HANDLE device, ScsiOutcome* outcome)
{
    char reason[256];
    if (!outcome->ask || !image_read_problem(device, reason, sizeof reason))
        return;
    size_t used = strlen(outcome->text);
    snprintf(outcome->text + used, sizeof outcome->text - used, "\n\n%s", reason);
}

static int decide_and_apply(HWND owner, HANDLE device, int status, int report)
{
    LookupCopies copies = {};
    ScsiOutcome outcome;
    DecideScsiOutcome(status, scsi_sense_buffer(), kSenseBufferSize, report, lookup_string, &copies,
                      &outcome);
    add_image_reason(device, &outcome);
    return apply_outcome(owner, outcome);
}

int scsi_request(HWND owner, int report)
{
    return decide_and_apply(owner, NULL, kScsiStatusCheckCondition, report);
}

int scsi_err(HWND owner, HANDLE device, int status, int report)
{
    return decide_and_apply(owner, device, status, report);
}
