// Sample installation of the board's software, written into the running machine (a Wine
// prefix) for tests and demonstrations. Each command writes or removes one part:
//   sampleinstall adapter [options]         the display adapter as the display utility sees it
//   sampleinstall adapter-remove [options]  takes it away again
//   sampleinstall uninstall ...             the installation the uninstaller removes
#include <stdio.h>
#include <string.h>

#include "adapter_layout.h"
#if __has_include("uninstall_layout.h")
#include "uninstall_layout.h"
#define SAMPLE_HAS_UNINSTALL_LAYOUT 1
#endif

int main(int argc, char **argv)
{
    if (argc >= 2) {
        const char *command = argv[1];
        if (strcmp(command, "adapter") == 0)
            return SampleAdapterCommand(argc - 2, argv + 2);
        if (strcmp(command, "adapter-remove") == 0)
            return SampleAdapterRemoveCommand(argc - 2, argv + 2);
#ifdef SAMPLE_HAS_UNINSTALL_LAYOUT
        if (strcmp(command, "uninstall") == 0)
            return SampleUninstallCommand(argc - 2, argv + 2);
#endif
    }
    fprintf(stderr, "usage: sampleinstall adapter|adapter-remove|uninstall [options]\n");
    return 2;
}
