#include <stdexcept>

#include <gtest/gtest.h>

#include "ui/gui_registry.h"

using kelvo::plugin::ui::GuiRegistry;

namespace {

std::string failureText(const boost::optional<std::string>& category) {
    try {
        GuiRegistry::instance(category);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no exception";
}

}  // namespace

// One process, one current edition: the steps run in order.
TEST(GuiRegistry, EditionSelectionThroughoutAProcess) {
    EXPECT_EQ(failureText(boost::none), "ui: unable to get category from []");
    EXPECT_EQ(failureText(std::string("[]")), "ui: unable to get category from []");

    auto& valdorino = GuiRegistry::instance(std::string("valdorino.plugin"));
    EXPECT_EQ(&GuiRegistry::instance(), &valdorino);
    EXPECT_EQ(valdorino.deviceTitleFormat(), L"%1% (S/N %2%)");

    EXPECT_EQ(failureText(std::string("unknown")), "ui: unable to get category from unknown");
    EXPECT_EQ(&GuiRegistry::instance(), &valdorino);

    auto& kelvo = GuiRegistry::instance(std::string("kelvo.plugin"));
    EXPECT_NE(&kelvo, &valdorino);
    EXPECT_EQ(kelvo.settingsGroup(), "kelvo.plugin");
    EXPECT_EQ(kelvo.deviceTitleFormat(), L"%1% \u2022 S/N %2%");
    EXPECT_EQ(&GuiRegistry::instance(), &kelvo);
}

TEST(GuiRegistry, CreateReturnsOneObjectPerEdition) {
    EXPECT_EQ(GuiRegistry::create("kelvo.plugin"), GuiRegistry::create("kelvo.plugin"));
    EXPECT_NE(GuiRegistry::create("kelvo.plugin"), GuiRegistry::create("valdorino.plugin"));
    EXPECT_THROW(GuiRegistry::create(""), std::runtime_error);
}

TEST(GuiRegistry, EditionTexts) {
    const auto kelvo = GuiRegistry::create("kelvo.plugin");
    const auto valdorino = GuiRegistry::create("valdorino.plugin");
    const std::wstring logo = L"logo_32x32.png";
    EXPECT_EQ(kelvo->resourcePath(logo.data(), logo.size()), L":/kelvo_plugin/logo_32x32.png");
    EXPECT_EQ(valdorino->resourcePath(logo.data(), logo.size()),
              L":/valdorino_plugin/logo_32x32.png");
    EXPECT_EQ(valdorino->signatureTypeName("attached", 8), L"Присоединенная подпись");
    EXPECT_EQ(kelvo->signatureTypeName("XMLDSIG", 7), L"");
}
