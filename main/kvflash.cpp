// kvflash: firmware updater for KV ticket printers.
#include "main/Run.h"

int main(int argc, char** argv) { return kv::entry::runKvflash(argc, argv); }
