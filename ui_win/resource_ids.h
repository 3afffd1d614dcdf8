#pragma once
// Numbers of the window's resources and menu commands.

#define IDI_QUILLWARD 1

#define IDM_FILE_START 101
#define IDM_FILE_OPTIONS 102
#define IDM_FILE_EXIT 103
#define IDM_HELP_ABOUT 111
#define IDM_HELP_HELP 112
