// The identifiers of Oculo Settings' dialogs and controls: its resource
// script's, and what the window tests find them by.
#pragma once

// The list of slots, the program's main window ("Oculo Settings"). Close is IDCANCEL.
#define IDD_SETTINGS 100
#define IDC_SLOT_LIST 1001
#define IDC_EDIT_SLOT 1002
#define IDC_CLEAR_SLOT 1003
#define IDC_TEST_SLOT 1004
#define IDC_SAVE 1005
#define IDC_MESSAGE 1006

// A slot's edit dialog, with its Test. OK and Cancel are IDOK and IDCANCEL;
// each *_ERROR text shows why the field beside it is refused.
#define IDD_EDIT 200
#define IDC_NAME 2001
#define IDC_NAME_ERROR 2002
#define IDC_ADDRESS 2003
#define IDC_ADDRESS_ERROR 2004
#define IDC_USER 2005
#define IDC_PASSWORD 2006
#define IDC_LOGIN_ERROR 2007
#define IDC_PICTURE_SIZE 2008
#define IDC_PICTURE_SIZE_ERROR 2009
#define IDC_FPS 2010
#define IDC_FPS_ERROR 2011
#define IDC_CROP_LEFT 2012
#define IDC_CROP_TOP 2013
#define IDC_CROP_RIGHT 2014
#define IDC_CROP_BOTTOM 2015
#define IDC_CROP_ERROR 2016
#define IDC_SHIFT 2017
#define IDC_SHIFT_ERROR 2018
#define IDC_ENABLED 2019
#define IDC_STATUS_CARD 2020
#define IDC_TEST 2021
#define IDC_PREVIEW 2022
#define IDC_CAMERA_STATUS 2023
#define IDC_FIND_CAMERAS 2024
// Also a virtual camera for the Windows camera apps; disabled, saying it
// needs Windows 11, where the system has none.
#define IDC_CAMERA_APPS 2025

// Find cameras, from the edit dialog: the cameras a search found, their
// streams, and "Other address..." for a camera typed by hand. Choosing a
// stream is IDOK; Cancel (IDCANCEL) stops any search or question too.
#define IDD_FINDER 300
#define IDC_FINDER_CAMERAS 3001
#define IDC_FINDER_SEARCH 3002
#define IDC_FINDER_OTHER 3003
#define IDC_FINDER_PROGRESS 3004
#define IDC_FINDER_STATUS 3005
#define IDC_FINDER_USER 3006
#define IDC_FINDER_PASSWORD 3007
#define IDC_FINDER_ASK 3008
#define IDC_FINDER_STREAMS 3009

// The finder's "Other address" question: the camera's host name, IP address
// or device service address. OK and Cancel are IDOK and IDCANCEL.
#define IDD_OTHER_ADDRESS 400
#define IDC_OTHER_ADDRESS 4001
