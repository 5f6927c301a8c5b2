// The sheet host's record of what happened, one line per event, appended to the file
// given with --log (code page 932, CR LF). Nothing is written without --log.
#ifndef HOST_LOG_H
#define HOST_LOG_H

void SetLogFile(const char *path);
void LogLine(const char *format, ...) __attribute__((format(printf, 1, 2)));

#endif
