#pragma once

#include "cpp/file_path.h"

// For stores whose rows are beside the point: a data folder that does not
// exist, so no test writes into the real one (under Wine, the prefix's).
inline cpp::FilePath noDataDirectory() {
    return cpp::FilePath(cpp::FilePath::temp(), "tarnlet-tests-no-data/missing");
}
