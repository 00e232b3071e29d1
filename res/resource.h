#ifndef TAVUNE_RESOURCE_H
#define TAVUNE_RESOURCE_H

/* Bitmaps */
#define IDB_CRAFT 1
#define IDB_BUTTON_MAIN_UP 2
#define IDB_BUTTON_LEFT_UP 3
#define IDB_BUTTON_RIGHT_UP 4
#define IDB_BUTTON_MAIN_DOWN 5
#define IDB_BUTTON_LEFT_DOWN 6
#define IDB_BUTTON_RIGHT_DOWN 7
#define IDB_EXPLOSION_1 8
#define IDB_EXPLOSION_2 9
#define IDB_EXPLOSION_3 10
#define IDB_DEBRIS_1 11
#define IDB_DEBRIS_2 12
#define IDB_DEBRIS_3 13
#define IDB_DEBRIS_4 14
#define IDB_DEBRIS_5 15
#define IDB_DEBRIS_6 16
#define IDB_DEBRIS_7 17
#define IDB_DEBRIS_8 18
#define IDB_DEBRIS_9 19
#define IDB_DEBRIS_10 20
#define IDB_FLAME_LEFT 21
#define IDB_FLAME_RIGHT 22
#define IDB_FLAME_MAIN 23
#define IDB_LANDED_SCENE 24
#define IDB_CRASH_SCENE 25

/* Accelerator table */
#define IDR_ACCELERATORS 153

/* Menu and accelerator commands */
#define CMD_NEW 1
#define CMD_RESTART 2
#define CMD_EXIT 3
#define CMD_ABOUT 4
#define CMD_OPTIONS 5

/* Options dialog controls */
#define IDC_REVERSE_SIDE_THRUST 101
#define IDC_DRAW_FLAME 102
#define IDC_GRAVITY_BAR 103
#define IDC_FUEL_BAR 104
#define IDC_THRUST_BAR 105
#define IDC_DEFAULT 106
#define IDC_FUEL_LABEL 111
#define IDC_GRAVITY_LABEL 112
#define IDC_THRUST_LABEL 113

/* About dialog controls */
#define IDC_ABOUT_VERSION 107
#define IDC_ABOUT_NOTICE 108
#define IDC_ABOUT_ICON 109

/* End-of-game dialog controls */
#define IDC_ENDGAME_TITLE 151
#define IDC_ENDGAME_MESSAGE 152

#endif
