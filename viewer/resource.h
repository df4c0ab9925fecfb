// Resource and command identifiers of the viewer, shared by the resource
// script and the C++ sources. Menu items, accelerator targets, control-panel
// buttons and WM_COMMAND values use the same numbers.
#pragma once

// Drive submenu: the n-th CD-ROM drive has command IDM_DRIVE_FIRST + n.
#define IDM_DRIVE_FIRST     10
#define IDM_DRIVE_LAST      99

#define IDM_EXIT            100
#define IDM_TOC_JUMP        101   // TOC window's right-click jump
#define IDM_OPEN_IMAGE      102   // File menu: open a disc image
#define IDM_COPY            200
#define IDM_SELECT_ALL      201
#define IDM_FIND            202   // Edit menu, Ctrl+F: the find dialog
#define IDM_FIND_NEXT       203   // F3: the next match
#define IDM_FIND_PREV       204   // Shift+F3: the previous match
#define IDM_NEXT_SECTOR     210
#define IDM_PREV_SECTOR     211
#define IDM_ADDRESS         213
#define IDM_VERIFY_DISC     215   // check every data block of the disc
#define IDM_EJECT           219
#define IDM_CONTROL_PANEL   220
#define IDM_AUTO_SECTOR     221
#define IDM_TOC             222
#define IDM_LABEL           223
#define IDM_TREE            224
#define IDM_REFRESH         225
#define IDM_SECTOR_CHECK    226   // the sector check on the status line
#define IDM_JUMP_ADDRESS    229
#define IDM_HELP_CONTENTS   231
#define IDM_HELP_ON_HELP    232
#define IDM_ABOUT           239

// Dialog controls that are never addressed: labels and frames.
#ifndef IDC_STATIC
#define IDC_STATIC          (-1)
#endif

// Controls of the main window.
#define IDC_STATUS          997
#define IDC_HEADER          998
#define IDC_DUMP            999

// Posted to the tree window after every refresh; wParam 0 keeps its depth.
#define UM_REBUILD_TREE     (0x0400 + 10)   // WM_USER + 10

// Strings of the viewer.
#define IDS_ALREADY_RUNNING 300   // shown by the single-instance check
#define IDS_OUT_OF_MEMORY   301   // a dump text could not be formatted
#define IDS_DRIVE_MENU      302   // caption of the drive submenu
#define IDS_NEXT_WINDOW     303   // system menu: cycle to the side windows
#define IDS_IMAGE_FILTER    304   // open-image filters, '|' between the parts
// The address input's error texts (caption IDS_INPUT_ERROR), chosen by
// CheckAddressInput: IDS_ADDRESS_OUT_OF_RANGE takes the lead-out (%d),
// IDS_ADDRESS_BAD_CHAR the stop character (%c, one or two bytes).
#define IDS_ADDRESS_OUT_OF_RANGE 310
#define IDS_ADDRESS_BAD_CHAR     311
#define IDS_INPUT_ERROR          312

// ---- TOC window (TOCBOX) ----
#define IDC_TOC_TEXT        996

// ---- Directory tree window (DirTreeBox, menu TreeManu) ----
#define IDC_TREE_LIST       700
#define IDM_TREE_LEVEL_BASE 700   // level n is item 700 + n
#define IDM_TREE_LEVEL_1    701   // "Root"
#define IDM_TREE_LEVEL_2    702
#define IDM_TREE_LEVEL_3    703
#define IDM_TREE_LEVEL_4    704
#define IDM_TREE_LEVEL_5    705
#define IDM_TREE_LEVEL_6    706
#define IDM_TREE_LEVEL_7    707
#define IDM_TREE_LEVEL_ALL  708
#define IDM_TREE_CLOSE      100
#define IDM_TREE_JUMP       101
#define IDM_TREE_HELP       323
#define IDS_TREE_HELP_KEY   720   // WinHelp key word of the tree window

// ---- Disc label (LABELBOX): one edit control per volume descriptor field ----
#define IDC_LABEL_FIRST     600
#define IDC_LABEL_SYSTEM_ID         600
#define IDC_LABEL_VOLUME_ID         601
#define IDC_LABEL_VOLUME_SET_ID     602
#define IDC_LABEL_PUBLISHER_ID      603
#define IDC_LABEL_PREPARER_ID       604
#define IDC_LABEL_APPLICATION_ID    605
#define IDC_LABEL_COPYRIGHT_ID      606
#define IDC_LABEL_ABSTRACT_ID       607
#define IDC_LABEL_BIBLIOGRAPHIC_ID  608
#define IDC_LABEL_CREATION_DATE     609
#define IDC_LABEL_MODIFICATION_DATE 610
#define IDC_LABEL_EXPIRATION_DATE   611
#define IDC_LABEL_EFFECTIVE_DATE    612
#define IDC_LABEL_LAST      612
#define IDS_LABEL_NOT_ISO   620   // "Not ISO9660 format"
#define IDS_LABEL_CAPTION   621   // "Disc Label"

// ---- Address input (INPUTBOX) ----
#define IDC_INPUT_SECONDS   241
#define IDC_INPUT_FRAMES    242
#define IDC_INPUT_BLOCK     243   // drop-down combo box with the history
#define IDC_INPUT_MINUTES   244

// ---- Control panel (CONTROLBOX) ----
// Its buttons carry the command ids they send: IDM_PREV_SECTOR "<<",
// IDM_NEXT_SECTOR ">>", IDM_ADDRESS "Address".
#define IDS_SIDE_NEXT_WINDOW 330  // side windows' system menu: next window

// ---- Disc verify: progress (VERIFYBOX) and results (VERIFYRESULTS) ----
#define IDC_VERIFY_PROGRESS 800
#define IDC_VERIFY_DONE     801
#define IDC_VERIFY_FAILURES 802
#define IDC_VERIFY_RATE     803
#define IDC_VERIFY_SUMMARY  804
#define IDC_VERIFY_LIST     805   // one line per failing block, beginning with its LBN
#define IDC_VERIFY_JUMP     806
#define IDC_VERIFY_COPY     807
#define IDS_VERIFY_CAPTION  810
#define IDS_VERIFY_NO_TOC   811
#define IDS_VERIFY_NO_DATA  812

// ---- About box (ABOUTBOX) ----
#define IDC_ABOUT_DESCRIPTION 500
#define IDC_ABOUT_VERSION     501
#define IDC_ABOUT_BUILD_DATE  502

// ---- Getting data out: save a tree entry, save sectors, copy the disc ----
#define IDM_SAVE_FILE         260   // tree window: save the file, or the folder's subtree
#define IDM_SAVE_SECTORS      261   // File menu: save a range of blocks
#define IDM_COPY_DISC         262   // File menu: copy the whole disc to BIN/CUE
#define IDC_SAVE_PROGRESS     860   // SaveProgress: progress bar
#define IDC_SAVE_TEXT         861   // SaveProgress: what is being written
#define IDC_SAVE_FIRST        862   // SaveSectorsBox: first block (combo box with the history)
#define IDC_SAVE_END          863   // SaveSectorsBox: count or last block
#define IDC_SAVE_BY_COUNT     864
#define IDC_SAVE_BY_LAST      865
#define IDC_SAVE_RAW          866
#define IDC_SAVE_USER         867
#define IDS_SAVE_CAPTION      880
#define IDS_SAVE_FILTER       881   // save dialog filters, '|' between the parts
#define IDS_SAVE_CUE_FILTER   882
#define IDS_SAVE_DONE         883
#define IDS_SAVE_UNREADABLE   884
#define IDS_SAVE_CUT          885
#define IDS_SAVE_CANNOT_CREATE 886
#define IDS_SAVE_WRITE_FAILED 887
#define IDS_SAVE_FOLDER_FAILED 888
#define IDS_SAVE_CANCELLED    889
#define IDS_SAVE_EXISTS       890
#define IDS_SAVE_PICK_FOLDER  891
#define IDS_SAVE_BAD_FIRST    892
#define IDS_SAVE_BAD_END      893
#define IDS_SAVE_NO_TOC       894
#define IDS_SAVE_INCOMPLETE   895
#define IDS_SAVE_AS_FILE      896   // tree right-click: file line
#define IDS_SAVE_AS_FOLDER    897   // tree right-click: directory line
#define IDS_SAVE_COPY_REMOVED 898

// ---- Find (FindBox) and its progress (FindProgress) ----
#define IDC_FIND_TEXT         900   // combo box with the recent patterns
#define IDC_FIND_HEX          901
#define IDC_FIND_AS_TEXT      902
#define IDC_FIND_CASE         903
#define IDC_FIND_USER         904
#define IDC_FIND_RAW          905
#define IDC_FIND_FORWARD      906
#define IDC_FIND_BACKWARD     907
#define IDC_FIND_PROGRESS     908
#define IDC_FIND_DONE         909
#define IDS_FIND_CAPTION      910
#define IDS_FIND_EMPTY        911
#define IDS_FIND_ODD_DIGITS   912
#define IDS_FIND_BAD_CHAR     913   // %c: the character
#define IDS_FIND_TOO_LONG     914   // %d: the longest pattern in bytes
#define IDS_FIND_NOT_FOUND    915
#define IDS_FIND_UNREADABLE   916
#define IDS_FIND_NO_TOC       917
