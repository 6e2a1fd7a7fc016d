// Ids of the pictures and the icon bound into setup.exe. Shared by the
// resource script and the windows.
#pragma once

#define TARNVEL_IDI_PROGRAM 1         // icon group: the program icon
#define TARNVEL_IDI_PROGRAM_IMAGE 30001  // its one 32 x 32, 16-colour image
#define TARNVEL_IDB_EMBLEM 101        // 97 x 97, 24-bit
#define TARNVEL_IDB_BANNER 102        // 200 x 80, 24-bit
