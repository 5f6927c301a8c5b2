// The fixed resource records of the PC-9821's built-in display hardware, in the registry
// form of a Configuration Manager logical configuration.
#ifndef LOGCONF_RECORD_H
#define LOGCONF_RECORD_H

enum LogConfKind {
    LOGCONF_FORCED,   // every resource allocated at its fixed place ("ForcedConfig")
    LOGCONF_LOGICAL,  // the same resources as requirements only ("LogConfig" value "0")
};

enum { LOGCONF_RECORD_SIZE = 740 };

void BuildLogConfRecord(LogConfKind kind, unsigned char record[LOGCONF_RECORD_SIZE]);

#endif
