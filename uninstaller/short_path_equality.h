// Whether two folder names written differently name the same folder by their short (8.3)
// forms. Started from an MS-DOS prompt or a 16-bit launcher, the uninstaller's current
// directory is the short form of the folder the installer recorded by its long name.
#ifndef SHORT_PATH_EQUALITY_H
#define SHORT_PATH_EQUALITY_H

// True when both exist and their short forms are equal names (the uninstaller's name
// equality). A trailing backslash on one side only keeps them apart, as it does when they
// are compared as written.
bool ShortPathsEqual(const char *a, const char *b);

#endif
