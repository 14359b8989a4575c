// The fuzz targets run in a private system root, with the service's trace on
// at every level, so that the trace lines built from hostile input are checked
// by the sanitizers too. VEX_FUZZ_TRACE=0 switches the trace off for speed.
#pragma once

#include <string>

// The private root's working folder (ending in '/'), made at the first call
// and removed when the fuzzer ends.
const std::string& FuzzWorkDir();
void FuzzStartTrace();
