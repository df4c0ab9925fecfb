// String ids of tamrisk.dll's string table, shared by its resource script
// (resources/tamrisk.rc) and the C++ sources. Plain #defines: the resource
// compiler reads this file too. Bands:
//   1000-1013  status and host adapter texts
//   1020-1030  sense-key captions
//   1100-1177  ASC/ASCQ descriptions, one per row group of sense_table.cpp
//   1200       PrintError
//   1300       disc images
#pragma once

#define IDS_CDR_BUSY                    1000   // status BUSY
// 1001-1013: host adapter texts of the table; no command of this library
// reports them.
#define IDS_CDR_HOST_FIRST              1001
#define IDS_CDR_HOST_LAST               1013

// Captions of the sense keys that have a text (sense_table.cpp).
#define IDS_CDR_KEY_RECOVERED_ERROR     1020
#define IDS_CDR_KEY_NOT_READY           1021
#define IDS_CDR_KEY_MEDIUM_ERROR        1022
#define IDS_CDR_KEY_HARDWARE_ERROR      1023
#define IDS_CDR_KEY_ILLEGAL_REQUEST     1024
#define IDS_CDR_KEY_DATA_PROTECT        1025
#define IDS_CDR_KEY_BLANK_CHECK         1026
#define IDS_CDR_KEY_VENDOR_SPECIFIC     1027
#define IDS_CDR_KEY_COPY_ABORTED        1028
#define IDS_CDR_KEY_ABORTED_COMMAND     1029
#define IDS_CDR_KEY_MISCOMPARE          1030

// ASC/ASCQ descriptions: a contiguous range, each id given once by its row
// in sense_table.cpp and its text in the resource script.
#define IDS_CDR_SENSE_DESC_FIRST        1100
#define IDS_CDR_SENSE_DESC_LAST         1177

#define IDS_CDR_ERROR_CODE_LABEL        1200   // PrintError: "...label%d\n"
#define IDS_CDR_IMAGE_CAPTION           1300   // caption of the image error box
