#pragma once
// The builders with which a class, record or enumeration describes itself once, next to
// its declaration. Templates deduce parameter and result types from the member pointers
// and generate the call thunks; names, by-reference/const flags, visibility and
// attributes are stated in the description.

#include "platform/rtti/TypeOf.h"

#include <cassert>
#include <string_view>
#include <tuple>
#include <utility>

namespace vorn::platform::rtti {

// A parameter as the description states it: a name and its flags.
struct TParamDecl {
    TParamDecl(const char* name) : FName(name) {}
    TParamDecl(std::string name, uint8_t flags = pfNone) : FName(std::move(name)), FFlags(flags) {}
    std::string FName;
    uint8_t FFlags = pfNone;
};
inline TParamDecl Var(std::string name) { return {std::move(name), pfVar}; }
inline TParamDecl Out(std::string name) { return {std::move(name), pfOut}; }
inline TParamDecl Const(std::string name) { return {std::move(name), pfConst}; }

namespace detail {

// An argument converted for one call. By-value and const-reference parameters hold a
// converted copy; non-const references are written back after the call.
template <class A>
struct TArg {
    using D = std::remove_cvref_t<A>;
    static constexpr bool kWriteBack = std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;
    D FValue;
    explicit TArg(TValue& v) : FValue(TValueConv<D>::From(v)) {}
    decltype(auto) Get() {
        if constexpr (std::is_lvalue_reference_v<A>) return (FValue);
        else return std::move(FValue);
    }
    void WriteBack(TValue& v) { if constexpr (kWriteBack) v = TValueConv<D>::To(FValue); }
};
// Text parameters read a text value in place instead of copying it.
template <>
struct TArg<const std::string&> {
    std::string FConverted;
    const std::string* FText;
    explicit TArg(TValue& v) : FText(&v.RawText()) {
        if (v.Kind() != TValueKind::vkString) { FConverted = v.AsString(); FText = &FConverted; }
    }
    const std::string& Get() { return *FText; }
    void WriteBack(TValue&) {}
};
template <>
struct TArg<std::string_view> : TArg<const std::string&> {
    using TArg<const std::string&>::TArg;
    std::string_view Get() { return *FText; }
};

template <class R, class... A, class Fn, size_t... I>
void CallConverted(Fn&& fn, [[maybe_unused]] TValue* args, [[maybe_unused]] TValue* result, std::index_sequence<I...>) {
    std::tuple<TArg<A>...> held{args[I]...};
    if constexpr (std::is_void_v<R>) {
        fn(std::get<I>(held).Get()...);
    } else {
        *result = TValueConv<std::remove_cvref_t<R>>::To(fn(std::get<I>(held).Get()...));
    }
    (std::get<I>(held).WriteBack(args[I]), ...);
}

// The shape of a callable: owner class (void for free functions), result and parameters.
template <class F>
struct TSignature;
#define VORN_MEMBER_SIGNATURE(Qualifiers)                                                  \
    template <class C, class R, class... A>                                                \
    struct TSignature<R (C::*)(A...) Qualifiers> {                                         \
        using Class = C;                                                                   \
        using Result = R;                                                                  \
        using Args = std::tuple<A...>;                                                     \
        template <class T>                                                                 \
        static void Call(R (C::*f)(A...) Qualifiers, void* self, TValue* args, TValue* result) { \
            C* object = static_cast<C*>(static_cast<T*>(self));                            \
            CallConverted<R, A...>([&](auto&&... a) -> decltype(auto) {                   \
                return (object->*f)(std::forward<decltype(a)>(a)...); }, args, result,     \
                std::index_sequence_for<A...>());                                          \
        }                                                                                  \
    };
VORN_MEMBER_SIGNATURE()
VORN_MEMBER_SIGNATURE(const)
VORN_MEMBER_SIGNATURE(noexcept)
VORN_MEMBER_SIGNATURE(const noexcept)
#undef VORN_MEMBER_SIGNATURE

template <class R, class... A>
struct TSignature<R (*)(A...)> {
    using Class = void;
    using Result = R;
    using Args = std::tuple<A...>;
    template <class T>
    static void Call(R (*f)(A...), void*, TValue* args, TValue* result) {
        CallConverted<R, A...>([&](auto&&... a) -> decltype(auto) { return f(std::forward<decltype(a)>(a)...); },
                               args, result, std::index_sequence_for<A...>());
    }
};
template <class R, class... A>
struct TSignature<R (*)(A...) noexcept> : TSignature<R (*)(A...)> {};

// The thunk of a method of T (or of one of T's ancestors) or of a static function.
template <class T, class F>
void MethodThunk(const TCallable& c, void* self, TValue* args, TValue* result) {
    TSignature<F>::template Call<T>(c.Target<F>(), self, args, result);
}

template <class T, class... A>
void ConstructorThunk(const TCallable&, void*, TValue* args, TValue* result) {
    CallConverted<T*, A...>([](auto&&... a) { return new T(std::forward<decltype(a)>(a)...); }, args, result,
                            std::index_sequence_for<A...>());
}

template <class T, class C, class F>
void FieldGetThunk(const TCallable& c, void* self, TValue*, TValue* result) {
    if constexpr (ValueConvertible<F>) {
        *result = TValueConv<F>::To(static_cast<C*>(static_cast<T*>(self))->*c.Target<F C::*>());
    } else {
        throw EInvalidCast(); // reached by address only (lazy proxies, lists)
    }
}
template <class T, class C, class F>
void FieldSetThunk(const TCallable& c, void* self, TValue* args, TValue*) {
    if constexpr (ValueConvertible<F>) {
        static_cast<C*>(static_cast<T*>(self))->*c.Target<F C::*>() = TValueConv<F>::From(args[0]);
    } else {
        throw EInvalidCast();
    }
}
template <class T, class C, class F>
void* FieldAddressThunk(const TCallable& c, void* self) {
    return &(static_cast<C*>(static_cast<T*>(self))->*c.Target<F C::*>());
}

template <class T>
TTypeRef TypeOrNull() {
    using D = std::remove_cvref_t<T>;
    if constexpr (std::is_void_v<D>) return {};
    else return TTypeRef::Lazy(&TTypeOf<D>::Get);
}

template <class Tuple>
struct THasMutableRef;
template <class... A>
struct THasMutableRef<std::tuple<A...>> {
    static constexpr bool value = ((std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>) || ...);
};

template <class Tuple, size_t... I>
void FillParams(std::vector<TParamInfo>& out, const std::vector<TParamDecl>& decls, std::index_sequence<I...>) {
    (out.push_back([&] {
        using A = std::tuple_element_t<I, Tuple>;
        constexpr bool byRef = std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;
        TParamInfo p;
        p.FName = I < decls.size() ? decls[I].FName : "Arg" + std::to_string(I + 1);
        p.FType = TypeOrNull<A>();
        p.FFlags = I < decls.size() ? decls[I].FFlags : uint8_t(pfNone);
        // A non-const reference is a by-reference parameter whatever the description says;
        // a stated var/out on a by-value parameter is a description error.
        assert(byRef || (p.FFlags & (pfVar | pfOut)) == 0);
        if (byRef && (p.FFlags & (pfVar | pfOut)) == 0) p.FFlags |= pfVar;
        return p;
    }()), ...);
}

template <class F>
std::vector<TParamInfo> ParamsOf(const std::vector<TParamDecl>& decls) {
    using Args = typename TSignature<F>::Args;
    std::vector<TParamInfo> result;
    FillParams<Args>(result, decls, std::make_index_sequence<std::tuple_size_v<Args>>());
    return result;
}

} // namespace detail

// The members shared by classes and records. `Self` is the concrete builder.
template <class Self, class T, class Info>
class TStructBuilder {
public:
    TStructBuilder(TTypeKind kind, std::string name, std::string unitName)
        : FInfo(std::make_unique<Info>(kind, std::move(name), std::move(unitName))) {}

    // A mark on the type itself.
    Self& ClassAttribute(std::string name, std::vector<TValue> args = {}) {
        FInfo->FAttributes.emplace_back(std::move(name), std::move(args));
        return self();
    }
    // A mark on the member declared last.
    Self& Attribute(std::string name, std::vector<TValue> args = {}) {
        assert(FLast && "Attribute() follows the member it marks");
        FLast->FAttributes.emplace_back(std::move(name), std::move(args));
        return self();
    }
    // Shows the field or property declared last as another type of the same C++
    // representation (a Double field as "TDateTime").
    Self& Type(const TTypeInfo* type) {
        assert(FLast && FLast->MemberKind() != mkMethod);
        if (FLast->MemberKind() == mkField) static_cast<TFieldInfo*>(FLast)->FType = type;
        if (FLast->MemberKind() == mkProperty) static_cast<TPropertyInfo*>(FLast)->FType = type;
        return self();
    }

    template <class C, class F>
    Self& Field(std::string name, F C::*field, TMemberVisibility visibility = mvPublic) {
        static_assert(std::is_base_of_v<C, T>);
        auto info = std::make_unique<TFieldInfo>();
        info->FType = TTypeRef::Lazy(&TTypeOf<F>::Get);
        info->FGetter = MakeCallable(field, &detail::FieldGetThunk<T, C, F>);
        info->FSetter = MakeCallable(field, &detail::FieldSetThunk<T, C, F>);
        info->FAddressOf = &detail::FieldAddressThunk<T, C, F>;
        return AddMember(FInfo->FFields, std::move(info), std::move(name), visibility);
    }

    template <class M>
    Self& Method(std::string name, M method, std::vector<TParamDecl> params = {}, TMemberVisibility visibility = mvPublic) {
        using S = detail::TSignature<M>;
        static_assert(!std::is_void_v<typename S::Class>, "static functions are described with ClassMethod");
        auto info = std::make_unique<TMethodInfo>();
        FillMethod(*info, method, params);
        return AddMember(FInfo->FMethods, std::move(info), std::move(name), visibility);
    }
    // A static function called on the type rather than on an instance.
    template <class F>
    Self& ClassMethod(std::string name, F function, std::vector<TParamDecl> params = {}, TMemberVisibility visibility = mvPublic) {
        auto info = std::make_unique<TMethodInfo>();
        FillMethod(*info, function, params);
        info->FIsClassMethod = true;
        return AddMember(FInfo->FMethods, std::move(info), std::move(name), visibility);
    }

    // A property read and written through methods or fields; nullptr for no setter.
    template <class G, class S>
    Self& Property(std::string name, G getter, S setter, TMemberVisibility visibility = mvPublic) {
        auto info = std::make_unique<TPropertyInfo>();
        info->FType = PropertyType<G, S>();
        info->FReader = Reader(getter);
        info->FWriter = Writer(setter);
        return AddMember(FInfo->FProperties, std::move(info), std::move(name), visibility);
    }
    // A property with index parameters (Items[Index]); the getter takes the index, the
    // setter the index and then the value.
    template <class G, class S>
    Self& IndexedProperty(std::string name, G getter, S setter, std::vector<TParamDecl> index, bool isDefault = false,
                          TMemberVisibility visibility = mvPublic) {
        auto info = std::make_unique<TPropertyInfo>();
        info->FType = detail::TypeOrNull<typename detail::TSignature<G>::Result>();
        info->FIndexParams = detail::ParamsOf<G>(index);
        info->FIsDefault = isDefault;
        info->FReader = Reader(getter);
        info->FWriter = Writer(setter);
        return AddMember(FInfo->FProperties, std::move(info), std::move(name), visibility);
    }

protected:
    Self& self() { return static_cast<Self&>(*this); }

    template <class P>
    static TCallable MakeCallable(P target, TCallable::Thunk thunk) {
        TCallable c;
        c.SetTarget(target);
        c.FThunk = thunk;
        return c;
    }
    template <class List, class Member>
    Self& AddMember(List& list, std::unique_ptr<Member> member, std::string name, TMemberVisibility visibility) {
        member->FName = std::move(name);
        member->FVisibility = visibility;
        member->FOwner = FInfo.get();
        FLast = member.get();
        FInfo->FMembers.push_back(member.get());
        list.push_back(std::move(member));
        return self();
    }
    template <class F>
    void FillMethod(TMethodInfo& info, F function, const std::vector<TParamDecl>& params) {
        info.FReturnType = detail::TypeOrNull<typename detail::TSignature<F>::Result>();
        info.FParams = detail::ParamsOf<F>(params);
        info.FCall = MakeCallable(function, &detail::MethodThunk<T, F>);
    }

    template <class G, class S>
    static TTypeRef PropertyType() {
        if constexpr (std::is_member_object_pointer_v<G>) return TTypeRef::Lazy(&TTypeOf<MemberType<G>>::Get);
        else if constexpr (!std::is_null_pointer_v<G>) return detail::TypeOrNull<typename detail::TSignature<G>::Result>();
        else if constexpr (std::is_member_object_pointer_v<S>) return TTypeRef::Lazy(&TTypeOf<MemberType<S>>::Get);
        else return detail::TypeOrNull<std::tuple_element_t<0, typename detail::TSignature<S>::Args>>();
    }
    template <class P>
    struct TMemberTypeOf;
    template <class C, class F>
    struct TMemberTypeOf<F C::*> { using Type = F; using Class = C; };
    template <class P>
    using MemberType = typename TMemberTypeOf<P>::Type;

    template <class G>
    static TCallable Reader(G getter) {
        if constexpr (std::is_null_pointer_v<G>) return {};
        else if constexpr (std::is_member_object_pointer_v<G>)
            return MakeCallable(getter, &detail::FieldGetThunk<T, typename TMemberTypeOf<G>::Class, MemberType<G>>);
        else return MakeCallable(getter, &detail::MethodThunk<T, G>);
    }
    // Setters never write their arguments back: SetValue passes the caller's value as is.
    template <class S>
    static TCallable Writer(S setter) {
        if constexpr (std::is_null_pointer_v<S>) return {};
        else if constexpr (std::is_member_object_pointer_v<S>)
            return MakeCallable(setter, &detail::FieldSetThunk<T, typename TMemberTypeOf<S>::Class, MemberType<S>>);
        else {
            static_assert(!detail::THasMutableRef<typename detail::TSignature<S>::Args>::value,
                          "a setter takes its value and index by value or const reference");
            return MakeCallable(setter, &detail::MethodThunk<T, S>);
        }
    }

    std::unique_ptr<Info> FInfo;
    TMemberInfo* FLast = nullptr;
};

// Describes a class T with parent Parent (void for a root class).
template <class T, class Parent = void>
class TClassBuilder : public TStructBuilder<TClassBuilder<T, Parent>, T, TClassInfo> {
    using Base = TStructBuilder<TClassBuilder<T, Parent>, T, TClassInfo>;

public:
    explicit TClassBuilder(std::string name, std::string unitName = "") : Base(tkClass, std::move(name), std::move(unitName)) {
        TClassInfo& info = *this->FInfo;
        if constexpr (!std::is_void_v<Parent>) {
            static_assert(std::is_base_of_v<Parent, T>);
            info.FParent = &Parent::ClassInfo();
            info.FToParent = [](void* p) -> void* { return static_cast<Parent*>(static_cast<T*>(p)); };
        }
        if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
            info.FFactory = []() -> void* { return new T(); };
        if constexpr (std::is_destructible_v<T>) info.FFree = [](void* p) { delete static_cast<T*>(p); };
    }

    // A constructor with parameter types A...: a class method that returns a new instance.
    template <class... A>
    TClassBuilder& Constructor(std::string name, std::vector<TParamDecl> params = {}, TMemberVisibility visibility = mvPublic) {
        auto info = std::make_unique<TMethodInfo>();
        info->FReturnType = TTypeRef::Lazy(&TTypeOf<T*>::Get);
        info->FParams = detail::ParamsOf<void (*)(A...)>(params);
        info->FIsConstructor = true;
        info->FIsClassMethod = true;
        info->FCall = this->MakeCallable(nullptr, &detail::ConstructorThunk<T, A...>);
        return this->AddMember(this->FInfo->FMethods, std::move(info), std::move(name), visibility);
    }
    // The factory that creates instances for class references (in place of a virtual constructor).
    TClassBuilder& Factory(void* (*factory)()) {
        this->FInfo->FFactory = factory;
        return *this;
    }
    // Lists the class with the type registry; the descriptor lives for the process.
    const TClassInfo& Build() { return *TTypeRegistry::Instance().AddClass(std::move(this->FInfo), typeid(T)); }
};

// Describes a record (a value type copied as a whole).
template <class R>
class TRecordBuilder : public TStructBuilder<TRecordBuilder<R>, R, TRecordInfo> {
    using Base = TStructBuilder<TRecordBuilder<R>, R, TRecordInfo>;

public:
    explicit TRecordBuilder(std::string name, std::string unitName = "") : Base(tkRecord, std::move(name), std::move(unitName)) {
        this->FInfo->FClone = [](const void* v) -> void* { return new R(*static_cast<const R*>(v)); };
        this->FInfo->FDelete = [](void* v) { delete static_cast<R*>(v); };
        if constexpr (std::is_default_constructible_v<R>) this->FInfo->FNew = []() -> void* { return new R(); };
    }
    const TRecordInfo& Build() {
        return static_cast<const TRecordInfo&>(*TTypeRegistry::Instance().Add(std::move(this->FInfo)));
    }
};

// Describes an enumeration: each value with its name.
template <class E>
class TEnumBuilder {
public:
    explicit TEnumBuilder(std::string name, std::string unitName = "")
        : FInfo(std::make_unique<TEnumInfo>(tkEnumeration, std::move(name), std::move(unitName))) {}
    TEnumBuilder& Value(E value, std::string name) {
        FInfo->FValues.emplace_back(int64_t(value), std::move(name));
        return *this;
    }
    const TEnumInfo& Build() { return static_cast<const TEnumInfo&>(*TTypeRegistry::Instance().Add(std::move(FInfo))); }

private:
    std::unique_ptr<TEnumInfo> FInfo;
};

// Describes a class while the program starts, so that lookups by name and by dynamic
// type find it before its first use: `const rtti::TDescribeAtStartup<TArea> kDescribeArea;`
// in the class's source file.
template <class T>
struct TDescribeAtStartup {
    TDescribeAtStartup() { T::ClassInfo(); }
};

} // namespace vorn::platform::rtti
