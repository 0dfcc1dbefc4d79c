// Numbers of the main window's resources, menu commands and controls, shared by the
// resource script and the code; plain #defines so that the resource compiler reads them.
#pragma once

#define IDI_zelvory 1
#define IDI_manage 11
#define IDI_detail 12
#define IDI_options 13
#define IDI_homepage 14
#define IDI_exit 15

#define IDR_frmPubMain 100
#define IDR_accelerators 101

// The Logs menu (menl)
#define ID_menlm 1001
#define ID_menlv 1002
#define ID_menlt 1003
#define ID_menlh 1004
#define ID_menlx 1005
// The Tools menu (ment)
#define ID_mento 1101
#define ID_mentm 1102
#define ID_mentd 1103
#define ID_mentw 1104
// The Help menu (menh)
#define ID_menhh 1201
#define ID_menho 1202
#define ID_menhe 1203
#define ID_menhr 1204
#define ID_menhc 1205
#define ID_menhf 1206
#define ID_menht 1207
#define ID_menha 1208

// Controls of frmPubMain
#define IDC_Toolbar1 2001
#define IDC_optTod 2002
#define IDC_optHis 2003
#define IDC_lbl0 2004
#define IDC_dtpF 2005
#define IDC_lbl1 2006
#define IDC_dtpT 2007
#define IDC_lsvToday 2008
#define IDC_lsvHistory 2009
#define IDC_stb 2010
