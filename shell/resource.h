// Resource and control ids shared by the resource script and the shell.
// Plain macros because the resource compiler reads this file too.
#pragma once

// Menu commands of MYMENU (the core's own command ids are in core/host.h).
#define CMD_INPUT 103
#define CMD_UNUSED 104
#define CMD_VERSION 105

// Controls of the input dialog MYDB.
#define ID_TEXT 100
#define ID_CLEAR 101
#define ID_EXECUTE 102
