#pragma once
// Identifiers of the program's resources other than its string table.
#define IDI_PRODUCT 1
#define IDI_UPDATE 2
#define IDI_MENU 3
#define IDI_MENU_HOVER 4
#define IDI_FILE_TYPES 5
#define IDR_TITLE_JPEG 101
#define IDR_ABOUT_JPEG 102
