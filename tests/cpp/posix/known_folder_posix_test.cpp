#include "cpp/known_folder.h"

#include "cpp/exception.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace cpp {
namespace {

TEST(KnownFolder, ComesFromTheEnvironmentAndIsMissingWithoutIt) {
    ASSERT_EQ(::setenv("TARNLET_FOLDER_LOCALAPPDATA", "/tmp/known-folder/Local/", 1), 0);
    ASSERT_EQ(::setenv("TARNLET_FOLDER_SYSTEM", "/tmp/known-folder/system32", 1), 0);
    EXPECT_EQ(knownFolder(KnownFolder::LocalAppData).text(), "/tmp/known-folder/Local");
    EXPECT_EQ(knownFolder(KnownFolder::System).text(), "/tmp/known-folder/system32");

    ASSERT_EQ(::setenv("TARNLET_FOLDER_STARTMENU", "", 1), 0);
    ASSERT_EQ(::unsetenv("TARNLET_FOLDER_WINDOWS"), 0);
    for (const auto& [folder, variable] :
         {std::pair{KnownFolder::StartMenu, "TARNLET_FOLDER_STARTMENU"},
          std::pair{KnownFolder::Windows, "TARNLET_FOLDER_WINDOWS"}}) {
        try {
            knownFolder(folder);
            ADD_FAILURE() << variable;
        } catch (const Exception& error) {
            EXPECT_NE(std::string(error.what()).find(variable), std::string::npos) << error.what();
        }
    }
    ::unsetenv("TARNLET_FOLDER_LOCALAPPDATA");
    ::unsetenv("TARNLET_FOLDER_SYSTEM");
    ::unsetenv("TARNLET_FOLDER_STARTMENU");
}

} // namespace
} // namespace cpp
