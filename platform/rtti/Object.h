#pragma once
// The root of host classes that scripts hold: an instance registers with the live-object
// registry when it is created and unregisters when it is destroyed, so its script number
// is valid exactly while the object lives.

#include <cstdint>
#include <string>
#include <utility>

namespace vorn::platform::rtti {

class TClassInfo;

class TObject {
public:
    TObject();
    // A copy is a new object with a number of its own.
    TObject(const TObject& other);
    TObject& operator=(const TObject&) { return *this; }
    virtual ~TObject();

    // The number scripts hold for this object (never 0 while it lives).
    int64_t ObjectNumber() const { return FNumber; }
    // The class of the object: its most derived described class.
    const TClassInfo* ClassType() const;
    // The object's part of that class (what member descriptors take) and the class.
    std::pair<void*, const TClassInfo*> ClassPart() const;
    std::string ClassName() const;
    // The registry class name scripts know this object by when it is not its host class
    // (objects of classes a script declares); empty for ordinary host objects.
    virtual std::string ScriptClassName() const { return {}; }

    static const TClassInfo& ClassInfo();

private:
    int64_t FNumber;
};

} // namespace vorn::platform::rtti
