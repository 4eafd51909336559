// Resource and control ids shared by the resource script and the shell.
// Plain macros because the resource compiler reads this file too.
#pragma once

// Menu commands of MYMENU.
#define CMD_INPUT 103
#define CMD_UNUSED 104
#define CMD_VERSION 105
// Commands a run's thread sends to hand work to the window thread: printing,
// the poll of the mouse waits, writing and reading line files.
#define CMD_PRINT 106
#define CMD_POLL 107
#define CMD_WRITE_LINES 108
#define CMD_READ_LINES 109

// Controls of the input dialog MYDB.
#define ID_TEXT 100
#define ID_CLEAR 101
#define ID_EXECUTE 102
