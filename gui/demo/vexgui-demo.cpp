// vexgui-demo: lays demo printers into the system root for a look at the GUI:
//   vexgui-demo [COUNT]   (default 12; the spooler must run)
#include "DemoMachine.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int iCount = argc > 1 ? std::atoi(argv[1]) : 12;
    if (iCount <= 0 || iCount > 100000) {
        std::fprintf(stderr, "usage: vexgui-demo [COUNT]   (1..100000)\n");
        return 2;
    }
    const auto printers = guidemo::MakePrinters(iCount);
    std::string csError;
    if (!guidemo::AddQueues(printers, &csError)) {
        std::fprintf(stderr, "vexgui-demo: %s\n", csError.c_str());
        return 1;
    }
    if (!guidemo::WriteList(printers)) {
        std::fprintf(stderr, "vexgui-demo: cannot write the list file\n");
        return 1;
    }
    std::printf("%d printers\n", iCount);
    return 0;
}
