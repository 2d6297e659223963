#include "ui/editions.h"

#include <map>

namespace kelvo::plugin::ui {

namespace {

using SignatureNames = std::map<std::string, std::wstring>;

std::wstring lookup(const SignatureNames& names, const char* name, std::size_t length) {
    const auto found = names.find(std::string(name ? name : "", name ? length : 0));
    return found == names.end() ? std::wstring() : found->second;
}

}  // namespace

std::wstring KelvoPluginGuiRegistryImpl::applicationName() const {
    return L"KelvoPlugin";
}
std::wstring KelvoPluginGuiRegistryImpl::pinPromptText() const {
    return L"Введите ПИН пользователя от токена \n%1%";
}
std::wstring KelvoPluginGuiRegistryImpl::deviceTitleFormat() const {
    return L"%1% \u2022 S/N %2%";
}
std::wstring KelvoPluginGuiRegistryImpl::rememberPinText() const {
    return L"Запомнить ПИН на сеанс работы с этим токеном";
}
std::wstring KelvoPluginGuiRegistryImpl::signingProgressText() const {
    return L"Создание электронной подписи";
}
std::wstring KelvoPluginGuiRegistryImpl::signingDoneText() const {
    return L"Электронная подпись создана";
}
std::wstring KelvoPluginGuiRegistryImpl::signatureTypeName(const char* name,
                                                           std::size_t length) const {
    static const SignatureNames names{
        {"xmldsig", L"XMLDSig"}, {"attached", L"присоединенная"}, {"detached", L"отсоединенная"}};
    return lookup(names, name, length);
}
std::wstring KelvoPluginGuiRegistryImpl::resourcePath(const wchar_t* name,
                                                      std::size_t length) const {
    return L":/kelvo_plugin/" + std::wstring(name, length);
}
std::wstring KelvoPluginGuiRegistryImpl::styleSheetPath() const {
    return L":/kelvo_plugin/style.css";
}
std::string KelvoPluginGuiRegistryImpl::settingsGroup() const {
    return "kelvo.plugin";
}

std::wstring ValdorinoPluginGuiRegistryImpl::applicationName() const {
    return L"Вальдорино";
}
std::wstring ValdorinoPluginGuiRegistryImpl::pinPromptText() const {
    return L"Введите ПИН-код от токена \n%1%";
}
std::wstring ValdorinoPluginGuiRegistryImpl::deviceTitleFormat() const {
    return L"%1% (S/N %2%)";
}
std::wstring ValdorinoPluginGuiRegistryImpl::rememberPinText() const {
    return L"Запомнить на этот сеанс работы с токеном";
}
std::wstring ValdorinoPluginGuiRegistryImpl::signingProgressText() const {
    return L"Идет подписание файлов...";
}
std::wstring ValdorinoPluginGuiRegistryImpl::signingDoneText() const {
    return L"Файлы подписаны";
}
std::wstring ValdorinoPluginGuiRegistryImpl::signatureTypeName(const char* name,
                                                               std::size_t length) const {
    static const SignatureNames names{{"xmldsig", L"XMLDSig подпись"},
                                      {"attached", L"Присоединенная подпись"},
                                      {"detached", L"Отсоединенная подпись"}};
    return lookup(names, name, length);
}
std::wstring ValdorinoPluginGuiRegistryImpl::resourcePath(const wchar_t* name,
                                                          std::size_t length) const {
    return L":/valdorino_plugin/" + std::wstring(name, length);
}
std::wstring ValdorinoPluginGuiRegistryImpl::styleSheetPath() const {
    return L":/valdorino_plugin/style.css";
}
std::string ValdorinoPluginGuiRegistryImpl::settingsGroup() const {
    return "valdorino.plugin";
}

}  // namespace kelvo::plugin::ui
