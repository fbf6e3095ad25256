// libFuzzer's entry point.
#include "FuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return VeskFuzzOneInput(data, size);
}
