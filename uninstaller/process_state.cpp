#include "process_state.h"

char windowsDir[MAX_PATH];
char systemDir[MAX_PATH];
char infDir[MAX_PATH];
int restartRequired = 1;
HINSTANCE appInstance;
