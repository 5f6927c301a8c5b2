// Where the built programs are, as Wine paths.
#ifndef TEST_PATHS_H
#define TEST_PATHS_H

#include <string>

inline std::string DistPath(const char *file) { return std::string(ZAN_DIST_DIR) + "\\" + file; }
inline std::string StandinPath(const char *file) { return std::string(ZAN_STANDIN_DIR) + "\\" + file; }

#endif
