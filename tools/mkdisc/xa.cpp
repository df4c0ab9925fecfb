// CD-ROM XA: the system use record of directory records and the Mode 2
// subheaders of the blocks the builder writes.
#include <string.h>

#include "bytes.h"
#include "discbuild_internal.h"
#include "iso9660.h"

namespace discbuild {

namespace {

// Owner, group and world may read and execute.
const uint16_t kXaReadExecute =
    kXaOwnerRead | kXaOwnerExecute | kXaGroupRead | kXaGroupExecute | kXaWorldRead | kXaWorldExecute;

// The subheader's bytes: file number, channel, submode, coding.
enum { kSubheaderFile = 0, kSubheaderChannel = 1, kSubheaderSubmode = kSubmodeOffset - kDataOffset };

}  // namespace

uint16_t XaAttributes(bool is_dir, bool form2)
{
    if (is_dir)
        return kXaDirectory | kXaForm1 | kXaReadExecute;
    return (uint16_t)((form2 ? kXaForm2 : kXaForm1) | kXaReadExecute);
}

void PutXaRecord(uint8_t* su, uint16_t attributes, uint8_t file_number)
{
    put_be16(su + kXaAttributes, attributes);  // group and user id stay 0
    su[kXaSignatureAt] = 'X';
    su[kXaSignatureAt + 1] = 'A';
    su[kXaFileNumber] = file_number;
}

uint32_t FileUserSize(bool form2) { return form2 ? kForm2UserDataSize : kUserDataSize; }

void SetEmptySubheader(BuiltBlock* b, bool mode2)
{
    memset(b->subheader, 0, sizeof b->subheader);
    b->subheader[kSubheaderSubmode] = mode2 ? kSubmodeData : 0;
}

void SetFileSubheader(BuiltBlock* b, const DiscEntrySpec& e)
{
    b->subheader[kSubheaderFile] = e.file_number;
    b->subheader[kSubheaderChannel] = e.channel;
    b->subheader[kSubheaderSubmode] = (uint8_t)(kSubmodeData | (e.form2 ? kSubmodeForm2 : 0));
}

void MarkFileEnd(BuiltBlock* b) { b->subheader[kSubheaderSubmode] |= kSubmodeEor | kSubmodeEof; }

}  // namespace discbuild
