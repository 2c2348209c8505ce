#pragma once
// The variant type's own errors (EVariantError with the classic texts) and the bounded
// walk along references that every cast starts with.

#include "engine/vm/Variant.h"

namespace vorn::engine {

// "Could not convert variant of type (From) into type (To)".
[[noreturn]] void RaiseVariantCastError(TVarType from, TVarType to);
// "Overflow while converting variant of type (From) into type (To)".
[[noreturn]] void RaiseVariantOverflowError(TVarType from, TVarType to);
// "Invalid variant operation": operands the operators or comparisons cannot combine.
[[noreturn]] void RaiseInvalidVariantOperation();

// The value at the end of a chain of references. Chains are at most one level when made
// by CreateReferenceValue; a longer or circular chain raises "Invalid variant operation".
const Variant& FollowReferences(const Variant& v);

} // namespace vorn::engine
