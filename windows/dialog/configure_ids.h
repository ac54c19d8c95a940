// Resource ids of the configuration dialog, shared by its resource script
// and its window code. Kept to #define lines so that windres can read it.
#pragma once

#define IDD_CONFIGURE 100

// btnOk and btnCancel carry the standard ids, so that Enter presses the
// default button and Esc the cancel button.
#define IDC_BTNOK 1     /* IDOK */
#define IDC_BTNCANCEL 2 /* IDCANCEL */
#define IDC_FRMOPTIONS 1001
#define IDC_CHKDEFAULT 1002
// The four options keep consecutive ids, in this order, for CheckRadioButton.
#define IDC_OPTSYNC 1003
#define IDC_OPTPCTOHH 1004
#define IDC_OPTHHTOPC 1005
#define IDC_OPTDONOTHING 1006
#define IDC_PRESYNC 1007
#define IDC_POSTSYNC 1008
#define IDC_COMMAND1 1009
#define IDC_COMMAND2 1010
#define IDC_LABEL1 1011
#define IDC_LABEL2 1012
#define IDC_CHKDEFINITIF 1013
#define IDC_CBOLANGUES 1014
#define IDC_IMAGE1 1015
#define IDC_IMAGE2 1016
#define IDC_IMAGE3 1017
#define IDC_IMAGE4 1018

// The four 16-colour pictures beside the actions.
#define IDB_SYNC 201
#define IDB_PCTOHH 202
#define IDB_HHTOPC 203
#define IDB_DONOTHING 204
