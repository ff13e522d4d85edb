#pragma once
// Context numbers of the help topics, for HH_HELP_CONTEXT (and for
// WM_USER+8 with wParam 8, which asks the program to open one). The help
// project reads this file too: keep each line exactly "#define NAME NUMBER"
// with single spaces and no comment after it, give every name a topic in
// Plenara.hhp's [ALIAS] section, and never use 0.

// Using Plenara
#define IDH_OVERVIEW 100
#define IDH_STARTING 110
#define IDH_TRAY_MENU 120
#define IDH_RULES 200
#define IDH_MATCHING 210
#define IDH_SIZE 220
#define IDH_POSITION 230
#define IDH_ACTIONS 240
#define IDH_APPLY_ONCE 250
#define IDH_MDI_RULES 260
#define IDH_TROUBLESHOOTING 300

// Settings window: its pages and their fields
#define IDH_SETTINGS_WINDOW 1000
#define IDH_SETTINGS_RULES_PAGE 1100
#define IDH_SETTINGS_RULE_LIST 1101
#define IDH_SETTINGS_RULE_BUTTONS 1102
#define IDH_SETTINGS_GENERAL_PAGE 1200
#define IDH_SETTINGS_INTERVAL 1201
#define IDH_SETTINGS_REAPPLY 1202
#define IDH_SETTINGS_OPEN_AT_START 1203
#define IDH_SETTINGS_START_WITH_WINDOWS 1204
#define IDH_SETTINGS_MONITORING 1205

// Rule editor and its fields
#define IDH_RULE_EDITOR 1300
#define IDH_RULE_CLASS 1301
#define IDH_RULE_TITLE 1302
#define IDH_RULE_SIZE 1303
#define IDH_RULE_POSITION 1304
#define IDH_RULE_ACTIVATE 1305
#define IDH_RULE_CLOSE 1306
#define IDH_RULE_ENABLED 1307
#define IDH_RULE_APPLY_ONCE 1308
#define IDH_RULE_CHILDREN 1309
#define IDH_RULE_NAME 1310
#define IDH_RULE_FINDER 1311

// Settings file
#define IDH_SETTINGS_FILE 1400

// About box
#define IDH_ABOUT 1500
