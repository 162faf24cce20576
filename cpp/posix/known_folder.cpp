#include "cpp/known_folder.h"

#include "cpp/exception.h"

#include <cstdlib>

namespace cpp {

namespace {

const char* variableFor(KnownFolder folder) {
    switch (folder) {
    case KnownFolder::System:
        return "TARNLET_FOLDER_SYSTEM";
    case KnownFolder::LocalAppData:
        return "TARNLET_FOLDER_LOCALAPPDATA";
    case KnownFolder::StartMenu:
        return "TARNLET_FOLDER_STARTMENU";
    case KnownFolder::Windows:
        return "TARNLET_FOLDER_WINDOWS";
    }
    return nullptr;
}

} // namespace

// There are no such folders here: tests name them through the environment.
FilePath knownFolder(KnownFolder folder) {
    const char* variable = variableFor(folder);
    if (variable == nullptr) {
        throw Exception(String("Unknown folder: %", static_cast<int>(folder)));
    }
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') {
        throw Exception(String("No folder given: set % to an absolute path", variable));
    }
    return FilePath(TextSpan(value));
}

} // namespace cpp
