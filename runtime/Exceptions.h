// The runtime's exception classes: a base class with a message, and the families the system raises.
#pragma once
#include <cstdint>
#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::wstring Message);
    const std::wstring& Message() const { return FMessage; }
    void SetMessage(std::wstring Message);
    // The class's name, as the runtime reports it ("Exception", "EReadError", ...).
    virtual const wchar_t* ClassName() const { return L"Exception"; }
    const char* what() const noexcept override { return FWhat.c_str(); }

private:
    std::wstring FMessage;
    std::string FWhat; // UTF-8 copy for std::exception users
};

#define ZRX_EXCEPTION(Name, Parent)                                                                          \
    class Name : public Parent {                                                                             \
    public:                                                                                                  \
        using Parent::Parent;                                                                                \
        const wchar_t* ClassName() const override { return L## #Name; }                                      \
    };

// Silent exception: unwinds without being shown.
class EAbort : public Exception {
public:
    EAbort() : Exception(L"Operation aborted") {}
    using Exception::Exception;
    const wchar_t* ClassName() const override { return L"EAbort"; }
};

ZRX_EXCEPTION(EConvertError, Exception)
ZRX_EXCEPTION(EListError, Exception)
ZRX_EXCEPTION(EStreamError, Exception)
ZRX_EXCEPTION(EReadError, EStreamError)
ZRX_EXCEPTION(EWriteError, EStreamError)
ZRX_EXCEPTION(EFileStreamError, EStreamError)
ZRX_EXCEPTION(EFOpenError, EFileStreamError)
ZRX_EXCEPTION(EFCreateError, EFileStreamError)
ZRX_EXCEPTION(EResNotFound, Exception)
ZRX_EXCEPTION(EComponentError, Exception)
ZRX_EXCEPTION(EInvalidOperation, Exception)
ZRX_EXCEPTION(EArgumentException, Exception)
ZRX_EXCEPTION(EInOutError, Exception)

class EAbstractError : public Exception {
public:
    EAbstractError() : Exception(L"Abstract Error") {}
    const wchar_t* ClassName() const override { return L"EAbstractError"; }
};

class EOSError : public Exception {
public:
    EOSError(std::wstring Message, uint32_t ErrorCode) : Exception(std::move(Message)), ErrorCode(ErrorCode) {}
    const wchar_t* ClassName() const override { return L"EOSError"; }
    uint32_t ErrorCode;
};

// "List index out of bounds (%d)"
[[noreturn]] void RaiseListIndexError(int64_t Index);
// The system's text for an error code, without a trailing line break.
std::wstring SysErrorMessage(uint32_t ErrorCode);
// Raises EOSError for GetLastError(): "System Error.  Code: %d.\r\n%s".
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseLastOSError(uint32_t ErrorCode);
