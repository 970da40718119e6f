// The page code: which page the window shows. Only the paint handler reads it.
#pragma once

enum : int {
    PAGE_WAIT_ACTIVATION = 0,
    PAGE_TERMINAL_STATUS = 2,
    PAGE_THERMAL = 3,
    PAGE_POWER = 4,
    PAGE_IO_COM = 5,
    PAGE_EXIT_CONFIRM = 6,
    PAGE_WAIT_EXIT_CONFIRM = 7,
    PAGE_IO = 8,
};

extern int g_nPage;
