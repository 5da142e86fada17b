// The exception classes of the framework. Every object knows its class name
// and the names of its ancestors, so a report can say "EAccessViolation" and
// a handler can ask whether an exception is some kind of EExternal.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// A node of the exception class tree: a name and the parent class.
struct ExceptionClass {
  const char* name;              // the class name, e.g. "EDivByZero"
  const ExceptionClass* parent;  // the parent class, null for Exception
};

// The root of all framework exceptions: a message and a class.
class Exception : public std::exception {
 public:
  // The class node shared by all Exception objects.
  static const ExceptionClass kClass;

  // An exception with this message.
  explicit Exception(std::string message) : message_(std::move(message)) {}
  ~Exception() override = default;

  // The class node of the object's dynamic class.
  virtual const ExceptionClass& Class() const { return kClass; }
  // The message text.
  const std::string& Message() const { return message_; }
  // The message text for std::exception users.
  const char* what() const noexcept override { return message_.c_str(); }
  // The name of the object's class, e.g. "EAccessViolation".
  std::string ClassName() const { return Class().name; }
  // The class name followed by the names of all ancestors up to "Exception".
  std::vector<std::string> ClassNames() const;
  // True when the object's class is the named one or descends from it.
  bool InheritsFrom(std::string_view class_name) const;

 private:
  std::string message_;
};

// Declares an exception class with its class node.
#define FW_EXCEPTION_CLASS(Name, Parent)                            \
  class Name : public Parent {                                      \
   public:                                                          \
    /* The class node shared by all objects of this class. */       \
    static const ExceptionClass kClass;                             \
    using Parent::Parent;                                           \
    /* The class node of this class. */                             \
    const ExceptionClass& Class() const override { return kClass; } \
  }

// A silent exception: it ends an action without any message.
FW_EXCEPTION_CLASS(EAbort, Exception);
// A failure while reading a window description or a picture.
FW_EXCEPTION_CLASS(EReadError, Exception);
// An invalid argument to a list or control operation.
FW_EXCEPTION_CLASS(EListError, Exception);

// An exception raised by the processor or the system rather than by a throw.
class EExternal : public Exception {
 public:
  // The class node shared by all EExternal objects.
  static const ExceptionClass kClass;
  // A message with the system's exception code and the code address.
  EExternal(std::string message, std::uint32_t code = 0, std::uint32_t address = 0)
      : Exception(std::move(message)), code_(code), address_(address) {}
  // The class node of this class.
  const ExceptionClass& Class() const override { return kClass; }
  // The system exception code, e.g. 0xC0000005.
  std::uint32_t Code() const { return code_; }
  // The address of the faulting instruction.
  std::uint32_t Address() const { return address_; }

 private:
  std::uint32_t code_;
  std::uint32_t address_;
};

// Integer arithmetic faults.
FW_EXCEPTION_CLASS(EIntError, EExternal);
// Integer division by zero.
FW_EXCEPTION_CLASS(EDivByZero, EIntError);
// Integer overflow (INTO, or the quotient of a division does not fit).
FW_EXCEPTION_CLASS(EIntOverflow, EIntError);
// A read, write or execution of memory that may not be accessed.
FW_EXCEPTION_CLASS(EAccessViolation, EExternal);
// Any other system exception, named by its code.
FW_EXCEPTION_CLASS(EExternalException, EExternal);

// Integer range check failures (BOUND).
FW_EXCEPTION_CLASS(ERangeError, EIntError);
// Floating-point faults.
FW_EXCEPTION_CLASS(EMathError, EExternal);
// An invalid floating-point operation.
FW_EXCEPTION_CLASS(EInvalidOp, EMathError);
// A floating-point division by zero.
FW_EXCEPTION_CLASS(EZeroDivide, EMathError);
// A floating-point overflow.
FW_EXCEPTION_CLASS(EOverflow, EMathError);
// A floating-point underflow.
FW_EXCEPTION_CLASS(EUnderflow, EMathError);
// A privileged instruction executed outside the kernel.
FW_EXCEPTION_CLASS(EPrivilege, EExternal);
// The thread's stack is exhausted.
FW_EXCEPTION_CLASS(EStackOverflow, EExternal);
// Control-C in a console program.
FW_EXCEPTION_CLASS(EControlC, EExternal);

// The runtime's message for a system exception code. For an access violation, module is
// the file name of the module whose committed memory holds the faulting address (empty:
// none), write tells a write from a read, target is the accessed address.
std::string SystemExceptionMessage(std::uint32_t code, std::uint32_t address,
                                   std::string_view module, bool write, std::uint32_t target);

// Formats a 32-bit value as 8 upper-case hexadecimal digits.
std::string HexAddress(std::uint32_t value);

}  // namespace fw
