#pragma once

#include "cpp/property_map.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <functional>

namespace install {

// How long the check waits for the site, and for the whole version file.
inline const cpp::Duration updateCheckTimeout = cpp::Duration::seconds(3);

// The version file's address: the command line's "--updateUrl" when it has
// a value, else "/version.txt" on the product web site.
cpp::String updateUrl(const cpp::PropertyMap& commandLine);

// The update check, for a worker thread: fetches the version file at url
// (plain HTTP, agent "tarnlet") and calls showNotice when it names a newer
// release than this program's own. It fails quietly: any error of the
// library's exception family goes to the log as "Error: <message>" at debug
// level and shows nothing. Only an interruption of the thread is thrown.
void checkForUpdate(const cpp::String& url, const std::function<void()>& showNotice);

} // namespace install
