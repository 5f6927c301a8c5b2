// Which Windows a test program plays. The test machine runs NAME_win95.exe as Windows 95
// and NAME_nt.exe as Windows NT (Wine's version per program) and any other name as
// Windows 98, so one program, built once, takes each road under that road's name.
#ifndef PROGRAM_ROAD_H
#define PROGRAM_ROAD_H

enum ProgramRoadKind { kRoadWin98, kRoadWin95, kRoadNt };

// The road this program was started for, from the name it was started under.
ProgramRoadKind ProgramRoad();

#endif
