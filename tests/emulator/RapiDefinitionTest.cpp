// rapi.def, which names our rapi.dll's exports (and through the product
// check, what the built library must export), lists exactly the entry points
// of the table that pelko binds from.
#include "device/RapiTypes.h"
#include "tests/support/DeviceSim.h"
#include "tests/support/FileTree.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

namespace {

std::set<std::string> DefinitionExports() {
    std::istringstream text(
        testsupport::ReadFileBytes(testsupport::WindowsPathOf(PELKO_RAPI_DEFINITION_FILE)));
    std::set<std::string> names;
    bool inExports = false;
    for (std::string line; std::getline(text, line);) {
        std::istringstream words(line);
        std::string word;
        if (!(words >> word))
            continue;
        if (inExports)
            names.insert(word);
        inExports = inExports || word == "EXPORTS";
    }
    return names;
}

TEST(RapiDefinition, ListsExactlyTheEntryPointsOfTheTable) {
    const std::set<std::string> table = {
#define PELKO_RAPI_NAME(name, result, failure, bindOrder, use, parameters, arguments) #name,
        PELKO_RAPI_ENTRY_POINTS(PELKO_RAPI_NAME)
#undef PELKO_RAPI_NAME
    };
    EXPECT_EQ(25u, table.size());
    EXPECT_EQ(table, DefinitionExports());
}

} // namespace
