// Decides whether the display adapter is the board and prepares the process-wide values
// of adapter_state.h: platform flags, the driver's settings key, the colour-format values
// and the entry points of the display-mode library.
#ifndef ADAPTER_IDENTIFICATION_H
#define ADAPTER_IDENTIFICATION_H

// Identifies the adapter; on success registers "ZanStatic" and "ZanButton" and returns
// IdentifyAdapter's value, otherwise 0 with nothing registered.
int RegisterControlClasses();
// Unregisters both classes and closes driverKey. Always 1.
int ReleasePageResources();
// Non-zero when the page may be shown: the registry names the board and its driver
// answers the private escape.
int IdentifyAdapter();
// Open driverKey for the board: 1, or 0 with driverKey left closed.
int FindAdapterKey9x();
int FindAdapterKeyNT();
// Reads "555or565" and "D3DFullSupport" from driverKey; 0 when "555or565" cannot be read.
int ReadColorFormatSettings();

#endif
