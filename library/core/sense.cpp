// The status and sense decision behind every SCSI command of the library.
#include "sense.h"

#include <stdio.h>
#include <string.h>

#include "textutil.h"

namespace {

// Shorter than this, the additional sense bytes do not reach ASC and ASCQ.
const uint8_t kMinAdditionalLength = 5;

// A vendor-specific ASC that the library takes as "done".
const uint8_t kAscVendorDone = 0x80;

const char kStatusFormat[] = "CD-ROM error SCSI status:[%04X]\n";
const char kFatalKeyFormat[] = "Fatal error [%04X]\n";
const char kReservedFormat[] = "Reserved error on SCSI\nSense code:[%02X] Code Qualify:[%02X]";
const char kSenseMessageFormat[] = "%s\nAdditional sense code:[%02X] Code Qualify:[%02X]";

// A sense byte as a cleared buffer holds it where the device wrote nothing.
uint8_t SenseByte(const uint8_t* sense, uint32_t sense_len, uint32_t offset)
{
    return (sense != nullptr && offset < sense_len) ? sense[offset] : 0;
}

const char* Lookup(StringLookup lookup, void* ctx, unsigned id)
{
    const char* text = lookup != nullptr ? lookup(ctx, id) : nullptr;
    return text != nullptr ? text : "";
}

void Finish(ScsiOutcome* out, int result)
{
    out->result = result;
    out->ask = false;
}

void Ask(ScsiOutcome* out, unsigned style)
{
    out->result = CDR_FAILED;  // what the caller gets if no box can be shown
    out->ask = true;
    out->style = style;
}

void DecideSense(const uint8_t* sense, uint32_t sense_len, int report, StringLookup lookup,
                 void* ctx, ScsiOutcome* out)
{
    const uint8_t key = SenseByte(sense, sense_len, kSenseKeyByte) & 0x0F;
    if (key == kSenseKeyNoSense || key == kSenseKeyUnitAttention) {
        Finish(out, CDR_SUCCESS);
        return;
    }

    const unsigned caption_id = SenseKeyCaptionId(key);
    if (caption_id != 0)
        CopyCp932(out->caption, sizeof out->caption, Lookup(lookup, ctx, caption_id));
    else
        snprintf(out->caption, sizeof out->caption, kFatalKeyFormat, (unsigned)key);

    // Too short to carry ASC/ASCQ: ask with the sense-key text as the body
    // under the default caption.
    if (report && SenseByte(sense, sense_len, kSenseAdditionalLengthByte) < kMinAdditionalLength) {
        Ask(out, kStyleRetryCancelInfo);
        CopyCp932(out->text, sizeof out->text, out->caption);
        return;
    }

    const uint8_t asc = SenseByte(sense, sense_len, kSenseAscByte);
    const uint8_t ascq = SenseByte(sense, sense_len, kSenseAscqByte);
    if (asc == kAscVendorDone) {
        Finish(out, CDR_SUCCESS);
        return;
    }

    const unsigned desc_id = SenseDescriptionId(asc, ascq);
    if (desc_id != 0)
        CopyCp932(out->description, sizeof out->description, Lookup(lookup, ctx, desc_id));
    else
        snprintf(out->description, sizeof out->description, kReservedFormat, (unsigned)asc,
                 (unsigned)ascq);
    out->has_description = true;

    if (!report) {
        Finish(out, CDR_FAILED);
        return;
    }
    Ask(out, kStyleRetryCancelInfo);
    out->has_caption = true;
    snprintf(out->text, sizeof out->text, kSenseMessageFormat, out->description, (unsigned)asc,
             (unsigned)ascq);
}

}  // namespace

unsigned SenseDescriptionId(uint8_t asc, uint8_t ascq)
{
    for (unsigned i = 0; i < kSenseDescriptionRowCount; ++i) {
        const SenseDescriptionRow& row = kSenseDescriptionRows[i];
        if (row.asc == asc && (row.ascq == kAnyAscq || row.ascq == ascq))
            return row.id;
    }
    return 0;
}

unsigned SenseKeyCaptionId(uint8_t sense_key) { return kSenseKeyCaptionIds[sense_key & 0x0F]; }

void DecideScsiOutcome(int status, const uint8_t* sense, uint32_t sense_len, int report,
                       StringLookup lookup, void* ctx, ScsiOutcome* out)
{
    memset(out, 0, sizeof *out);
    switch (status) {
    case kScsiStatusGood:
        Finish(out, CDR_SUCCESS);
        return;
    case kScsiStatusCheckCondition:
        DecideSense(sense, sense_len, report, lookup, ctx, out);
        return;
    case kScsiStatusBusy:
        if (!report) {
            Finish(out, CDR_FAILED);
            return;
        }
        Ask(out, kStyleRetryCancelError);
        CopyCp932(out->text, sizeof out->text, Lookup(lookup, ctx, IDS_CDR_BUSY));
        return;
    default:
        // Any other status, and -1 for a failed request (shown as FFFFFFFF).
        if (!report) {
            Finish(out, CDR_FAILED);
            return;
        }
        Ask(out, kStyleRetryCancelInfo);
        snprintf(out->text, sizeof out->text, kStatusFormat, (unsigned)status);
        return;
    }
}
