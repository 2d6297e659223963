#pragma once

#include <cstdint>
#include <string>

#include <boost/core/noncopyable.hpp>

namespace kelvo::plugin::crypto {

// One PIN login context for one device, as a PIN dialog sees it.
class IAuthHandle : private boost::noncopyable {
public:
    enum State : std::uint32_t {
        AttemptFailed = 0x04,
        FinalTry = 0x08,
        Locked = 0x20,
    };

    virtual ~IAuthHandle() = default;
    virtual bool authenticate(const std::string& pin) = 0;
    virtual bool failed() const = 0;
    virtual std::uint32_t states() const = 0;
    virtual const std::wstring& title() const = 0;
    virtual bool rememberPin() const = 0;
    virtual bool isLocked() const = 0;
    virtual bool canRememberPin() const = 0;
    virtual bool isTokenPin() const = 0;
};

}  // namespace kelvo::plugin::crypto
