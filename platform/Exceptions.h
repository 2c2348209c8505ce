#pragma once
// The root of every exception the runtime layer and the engine raise. Each class
// keeps the name scripts see (`ExceptionClassName`), so a script's `except` block
// and the log show "EConvertError", "EDivByZero", ... exactly as on the mobile product.

#include <exception>
#include <string>

namespace vorn::platform {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const noexcept { return FMessage; }
    void SetMessage(std::string message) { FMessage = std::move(message); }
    // The class name as scripts see it.
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string FMessage;
};

#define VORN_EXCEPTION(Class, Parent, DefaultMessage)                            \
    class Class : public Parent {                                                \
    public:                                                                      \
        Class() : Parent(DefaultMessage) {}                                      \
        explicit Class(std::string message) : Parent(std::move(message)) {}      \
        const char* ClassName() const noexcept override { return #Class; }       \
    };
#include "platform/Exceptions.def"

} // namespace vorn::platform
