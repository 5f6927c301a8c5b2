// Removing a key of HKEY_LOCAL_MACHINE with everything below it.
#ifndef REGISTRY_TREE_H
#define REGISTRY_TREE_H

// Removes the key at `path` (below HKEY_LOCAL_MACHINE) and all its subkeys, one leaf per
// walk from the top. A missing key is nothing to do. Returns 1 when the routine ran to its
// end, 0 when it stopped early (a key that would not open, enumerate or go, a path too
// long); callers go on either way.
int DeleteRegistryTree(const char *path);

#endif
