#pragma once
// The adapters of the General library, one per row of GeneralRoutines.def, spread over
// GeneralTextRoutines.cpp, GeneralNumberRoutines.cpp, GeneralValueRoutines.cpp and
// TextFileRoutines.cpp.

#include "engine/libraries/LibrarySupport.h"
#include "engine/libraries/SystemLibrary.h"

namespace vorn::engine::general {

#define VORN_GENERAL_ROUTINE(Name, Args, Optional, ResultKind, ByRef, Hint, Adapter) \
    void Adapter(TatSystemLibrary& library, TatVirtualMachine* m);
#include "engine/libraries/GeneralRoutines.def"

} // namespace vorn::engine::general
