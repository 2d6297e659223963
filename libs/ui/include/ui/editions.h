#pragma once

#include "ui/gui_registry.h"

namespace kelvo::plugin::ui {

class KelvoPluginGuiRegistryImpl : public GuiRegistry::Impl {
public:
    std::wstring applicationName() const override;
    std::wstring pinPromptText() const override;
    std::wstring deviceTitleFormat() const override;
    std::wstring rememberPinText() const override;
    std::wstring signingProgressText() const override;
    std::wstring signingDoneText() const override;
    std::wstring signatureTypeName(const char* name, std::size_t length) const override;
    std::wstring resourcePath(const wchar_t* name, std::size_t length) const override;
    std::wstring styleSheetPath() const override;
    std::string settingsGroup() const override;
};

class ValdorinoPluginGuiRegistryImpl : public GuiRegistry::Impl {
public:
    std::wstring applicationName() const override;
    std::wstring pinPromptText() const override;
    std::wstring deviceTitleFormat() const override;
    std::wstring rememberPinText() const override;
    std::wstring signingProgressText() const override;
    std::wstring signingDoneText() const override;
    std::wstring signatureTypeName(const char* name, std::size_t length) const override;
    std::wstring resourcePath(const wchar_t* name, std::size_t length) const override;
    std::wstring styleSheetPath() const override;
    std::string settingsGroup() const override;
};

}  // namespace kelvo::plugin::ui
