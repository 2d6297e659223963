#include <gtest/gtest.h>

#include "shared/module_meta.h"

using namespace kelvo::plugin::shared;

TEST(ModuleMetaJson, EmptyCollectionAndEscaping) {
    EXPECT_EQ(toJson({}), "[]");
    const FormatEntries entries{{{"a\"b", "1", "plugin", "line\nbreak"}, "x"},
                                {{"core", "2", "kelvo.plugin", ""}, ""}};
    EXPECT_EQ(toJson(entries),
              "[{\"format\":{\"type\":\"a\\\"b\",\"version\":\"1\",\"category\":\"plugin\","
              "\"description\":\"line\\nbreak\"},\"data\":\"x\"},"
              "{\"format\":{\"type\":\"core\",\"version\":\"2\",\"category\":\"kelvo.plugin\","
              "\"description\":\"\"},\"data\":\"\"}]");
}
