#pragma once
// The reflection layer: run-time type information for host classes, records and
// enumerations, read by the script binding, the entity store and the JSON mapper alike.
//
// A class describes itself once, next to its declaration, with a typed builder. The
// builder deduces parameter, result and field types from the member pointers and
// generates the call thunks; the description states names, by-reference/const flags,
// visibility and free-form attributes:
//
//     class TArea : public rtti::TObject {
//     public:
//         std::string FName;
//         Nullable<double> FF1;
//         double FCreated = 0;
//         const std::string& Name() const { return FName; }
//         void SetName(const std::string& value) { FName = value; }
//         int Count(const std::string& kind, int& total);
//         static const rtti::TClassInfo& ClassInfo();
//     };
//
//     const rtti::TClassInfo& TArea::ClassInfo() {
//         static const rtti::TClassInfo& info =
//             rtti::TClassBuilder<TArea, rtti::TObject>("TIBF_Area", "Model")
//                 .ClassAttribute("Entity")
//                 .Field("FName", &TArea::FName, rtti::mvPrivate)
//                 .Attribute("JsonName", {rtti::TValue::Text("name")})
//                 .Field("FF1", &TArea::FF1, rtti::mvPrivate)          // "Nullable<System.Double>"
//                 .Field("FCreated", &TArea::FCreated, rtti::mvPrivate)
//                 .Type(rtti::DateTimeType())                          // shown as TDateTime
//                 .Property("Name", &TArea::Name, &TArea::SetName, rtti::mvPublished)
//                 .Method("Count", &TArea::Count, {rtti::Const("kind"), rtti::Var("total")})
//                 .Build();
//         return info;
//     }
//
// The three users read the same descriptors: the binding invokes members through
// TValue (TMethodInfo::Invoke, TPropertyInfo::GetValue/SetValue) and lists published
// properties; the entity store walks Fields() with their attributes (table and column
// names, nullable, lazy) and reaches values by Address() for types that have no TValue
// form (lazy proxies and lists describe themselves by specialising TTypeOf); the JSON
// mapper walks Fields() in declaration order with their "JsonName" attributes. A wide
// entity (250 persisted fields) keeps its rows in a .def file whose rows expand to the
// .Field(...).Attribute(...) calls of the same builder: one list, no second mechanism.
//
// Objects travel in scripts as numbers of the live-object registry (LiveObjects.h):
// TObject descendants register themselves; a forged or stale number is EInvalidCast.
// Member descriptors are resolved once by name and then kept by the caller: an invoke
// does no lookups and allocates nothing for scalar arguments.

#include "platform/Nullable.h"
#include "platform/rtti/LiveObjects.h"
#include "platform/rtti/Object.h"
#include "platform/rtti/Set.h"
#include "platform/rtti/TypeBuilder.h"
#include "platform/rtti/TypeInfo.h"
#include "platform/rtti/TypeOf.h"
#include "platform/rtti/TypeRegistry.h"
#include "platform/rtti/Value.h"
