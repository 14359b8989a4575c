// The fuzz targets run with the service's trace on at every level, so that
// the trace lines built from hostile input are checked by the sanitizers too.
// VEX_FUZZ_TRACE=0 switches it off for speed.
#pragma once

void FuzzStartTrace();
