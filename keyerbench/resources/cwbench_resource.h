// Resource ids of cwbench: menu commands, dialogs and their controls. Shared by
// cwbench.rc and the code (C preprocessor only, so that windres reads it too).
#pragma once

// Dialog templates.
#define IDD_PANEL 100
#define IDD_ABOUT 200
#define IDD_MSGEDIT 512

// Menu "MAINMENU": the Comm popup, in menu order.
#define CM_COM1 500
#define CM_COM2 501
#define CM_COM3 502
#define CM_COM4 503
#define CM_COM5 504
#define CM_COM6 505
#define CM_COM7 519
#define CM_COM8 526
#define CM_COM9 538
#define CM_COM10 546
#define CM_COM11 556
#define CM_COM12 566

// Debug popup.
#define CM_STATE 506
#define CM_MXSTATE 509
#define CM_MXREGS 507
#define CM_POTVAL 510
#define CM_PDLVAL 511
#define CM_TESTPTR 3
#define CM_INITLOOP 518
#define CM_POWERON 516
#define CM_POWEROFF 517

// Msg1 to Msg4 popups.
#define CM_MSG1PLAY 530
#define CM_MSG1EDIT 531
#define CM_MSG2PLAY 532
#define CM_MSG2EDIT 533
#define CM_MSG3PLAY 534
#define CM_MSG3EDIT 535
#define CM_MSG4PLAY 536
#define CM_MSG4EDIT 537

// Help popup.
#define CM_ABOUT 300
#define CM_HELP 508

// About box (dialog 200). IDOK is the OK button.
#define IDC_ABOUT_ICON 20
#define IDC_ABOUT_TITLE 104
#define IDD_BUILD 202
#define IDD_OSNAME 208

// Control panel (dialog 100).
#define IDEXIT 2
#define INBOUND 103
#define OUTBOUND 101
#define MXSERIAL 107
#define IDC_OUTGOING_LABEL 112
#define IDC_KEYBOARD_LABEL 113
#define IDWEIGHT 116
#define IDC_WEIGHT_LABEL 117
#define IDLEADIN 118
#define IDC_LEADIN_LABEL 119
#define IDTAIL 120
#define IDC_TAIL_LABEL 121
#define IDFARNS 122
#define IDC_FARNS_LABEL 123
#define PAUSE 203
#define CLEARBUF 204
#define IDOPEN 210
#define IDCLOSEX 211
#define IDRATIO 401
#define IDC_RATIO_LABEL 402
#define SWAPBTN 104
#define PDLECHO 302
#define PDLDOG 205
#define AUTOSPACE 206
#define CTSPACE 207
#define SERECHO 209
#define IDUPDATE 408
#define IDC_KEYERMODE_GROUP 410
#define IDC_MODEREG_GROUP 411
#define IDC_CUSTOMIZE_GROUP 412
#define IDBUSY 413
#define IDXOFF 417
#define IDBREAKIN 418
#define IDWAIT 419
#define IDTUNE 421
#define IDTUNESTAT 422
#define IDOPENSTAT 424
#define IDC_STATUS_GROUP 423
#define TESTSTR 201
#define IDWPMTOP 425
#define IDWPMBOT 426
#define IDPOTLOCK 427
#define IDP5PTT 428
#define IDP5KEY 430
#define IDOUTCFG 431
#define IDKEYCOMP 433
#define ID1STEXT 435
#define IDSAMPADJ 437
#define IDLOOP 438
#define IDDIT 409
#define IDDAH 439
#define IDC_WPM_GROUP 420
#define IDWPMSB 440
#define IDFREQ 441
#define IDC_STFREQ_LABEL 442
#define ID_DEFAULT 414
#define IDWPM 416
#define ID_PDLTONE 124
#define IDC_MODECOMBO 125
#define IDC_HANGCOMBO 126
#define IDC_HANG_GROUP 127
#define IDP5TONE 429
#define IDC_AUTOPTT 128

// Message Editor (dialog 512).
#define CM_MSGTEXT 601
#define CM_MSGCLR 602
#define CM_MSGSAVE 603
#define CM_MSGCANCEL 604
#define IDC_INSERT_GROUP 202
#define CM_BUFSETPTT 609
#define CM_BUFARG 605
#define CM_BUFCLRPTT 610
#define CM_BUFWPM 606
#define CM_BUFKEY 607
#define CM_BUFCANCEL 611
#define CM_BUFWAIT 608
#define IDC_ARGUMENT_GROUP 215
#define CM_MERGE 612
