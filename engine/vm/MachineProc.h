#pragma once
// The two method-pointer shapes that instructions and the class registry hold: a
// machine proc (an operation of an object that takes the running machine) and the
// argument-less generic proc. Both are a plain code address plus object, 16 bytes,
// comparable and copyable without allocation.

namespace vorn::engine {

class TatVirtualMachine;

struct TMachineProc {
    using Code = void (*)(void* object, TatVirtualMachine* machine);
    Code FCode = nullptr;
    void* FObject = nullptr;

    void operator()(TatVirtualMachine* machine) const { FCode(FObject, machine); }
    explicit operator bool() const { return FCode != nullptr; }

    // Binds a member function `void C::M(TatVirtualMachine*)` of `object`.
    template <auto Method, class C>
    static TMachineProc Of(C* object) {
        return {[](void* o, TatVirtualMachine* m) { (static_cast<C*>(o)->*Method)(m); }, object};
    }
    // Binds a free function `void F(TatVirtualMachine*)`.
    template <void (*Function)(TatVirtualMachine*)>
    static TMachineProc Of() {
        return {[](void*, TatVirtualMachine* m) { Function(m); }, nullptr};
    }
};

struct TGenericProc {
    using Code = void (*)(void* object);
    Code FCode = nullptr;
    void* FObject = nullptr;

    void operator()() const { FCode(FObject); }
    explicit operator bool() const { return FCode != nullptr; }
};

// True when both the code and the object are set.
template <class M>
bool AssignedMethod(const M& m) { return m.FCode != nullptr && m.FObject != nullptr; }

template <class M>
bool SameMethod(const M& a, const M& b) { return a.FCode == b.FCode && a.FObject == b.FObject; }

} // namespace vorn::engine
