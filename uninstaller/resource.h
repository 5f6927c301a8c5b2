// Resource identifiers of the uninstaller.
#ifndef ZANDEL_RESOURCE_H
#define ZANDEL_RESOURCE_H

#define IDD_UNINSTALL 101  // the confirmation dialog
#define IDI_ZANDEL 104     // the program icon (one 32 x 32 image)

#endif
