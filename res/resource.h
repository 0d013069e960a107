// Numeric ids of Ravelin's resources, shared by the resource script and
// the program. Plain #defines only: windres preprocesses this file too.
#ifndef RAVELIN_RES_RESOURCE_H
#define RAVELIN_RES_RESOURCE_H

// Menus and accelerator tables
#define IDR_MAIN_MENU 109
#define IDR_MAIN_ACCELERATORS 117

// Bitmaps
#define IDB_TOOLBAR 115
#define IDB_BANNER 129

// Icon groups
#define IDI_RAVELIN 101
#define IDI_FOLDER_OPEN 112
#define IDI_FOLDER_CLOSED 113

// Cursor groups
#define IDCUR_OPEN_HAND 110
#define IDCUR_HAND_POINTER 130

// Dialog templates
#define IDD_CHOOSE_DIRECTORY 111
#define IDD_SEARCHING 114
#define IDD_ABOUT 118

// Logo images of the custom type "PCX"
#define IDR_LOGO_COLOUR 126
#define IDR_LOGO_ALPHA 127

// Commands: menu items, accelerators, toolbar buttons and tooltips
#define CMD_OPEN_FILES 103
#define CMD_SAVE_IMAGE 104
#define CMD_TOGGLE_FINDER 128
#define CMD_EXIT 40003
#define CMD_SORT_LARGE_TO_SMALL 40004
#define CMD_SORT_SMALL_TO_LARGE 40005
#define CMD_NO_SORT 40006
#define CMD_ZOOM_IN 40007
#define CMD_ZOOM_OUT 40008
#define CMD_ABOUT 40009
#define CMD_OPEN_DIRECTORY 40010
#define CMD_HELP_CONTENTS 40011
#define CMD_SAVE_ICON_GROUP 40012
#define CMD_COPY 40020
#define CMD_SAVE_ALL 40021
#define CMD_HIDE_DUPLICATES 40022

// Controls of the directory chooser (IDD_CHOOSE_DIRECTORY)
#define IDC_FOLDER_LIST 1003
#define IDC_DRIVE_LIST 1004
#define IDC_DRIVE_LABEL 1005
#define IDC_TREE_LABEL 1006
#define IDC_PATH_LINE 1007

// Controls of the search dialog (IDD_SEARCHING)
#define IDC_FOUND_COUNT 1013

// Controls of the About box (IDD_ABOUT)
#define IDC_ABOUT_TEXT 1014
#define IDC_CONTACT_MAIL 1015
#define IDC_ABOUT_LOGO 1019
#define IDC_CONTACT_WEB 1020

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif  // RAVELIN_RES_RESOURCE_H
