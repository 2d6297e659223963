#pragma once

#include <cstddef>
#include <string>

#include <boost/core/noncopyable.hpp>
#include <boost/optional.hpp>
#include <boost/smart_ptr/shared_ptr.hpp>

namespace kelvo::plugin::ui {

// Edition-specific texts and resource locations; the edition is chosen by the host's category.
class GuiRegistry {
public:
    class Impl : private boost::noncopyable {
    public:
        virtual ~Impl() = default;
        virtual std::wstring applicationName() const = 0;
        virtual std::wstring pinPromptText() const = 0;
        virtual std::wstring deviceTitleFormat() const = 0;
        virtual std::wstring rememberPinText() const = 0;
        virtual std::wstring signingProgressText() const = 0;
        virtual std::wstring signingDoneText() const = 0;
        virtual std::wstring signatureTypeName(const char* name, std::size_t length) const = 0;
        virtual std::wstring resourcePath(const wchar_t* name, std::size_t length) const = 0;
        virtual std::wstring styleSheetPath() const = 0;
        virtual std::string settingsGroup() const = 0;
    };

    // The current edition; a category switches to that edition first. Throws
    // std::runtime_error for an unknown category (the current edition stays).
    static Impl& instance(const boost::optional<std::string>& category = boost::none);
    // The edition registered for a category; throws std::runtime_error when there is none.
    static boost::shared_ptr<Impl> create(const std::string& category);

private:
    explicit GuiRegistry(const std::string& category);

    boost::shared_ptr<Impl> impl_;
};

}  // namespace kelvo::plugin::ui
