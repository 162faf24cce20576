#pragma once

#include "app/clock.h"
#include "app/data_file.h"
#include "cpp/async_io.h"
#include "cpp/file_path.h"
#include "cpp/stream.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <map>
#include <memory>
#include <mutex>

// Appends each host's finished minutes to its data file and keeps the files
// open between rows. It has a lock of its own, apart from the store's: a slow
// or failing disk holds up only the thread that writes the row, never the
// window's queries of the buckets.
class MinuteWriter {
public:
    // After a data file fails to open or to take a row, no other file is
    // opened for this long.
    static const cpp::Duration retryDelay;

    MinuteWriter(std::shared_ptr<Clock> clock, DataDirectory directory);
    MinuteWriter(const MinuteWriter&) = delete;
    MinuteWriter& operator=(const MinuteWriter&) = delete;

    // The host's data file: the data directory and dataFileName(name).
    cpp::FilePath dataFile(const cpp::String& name) const;
    // A failure drops the row and the host's open file, without a message.
    void write(const cpp::String& name, const DataRow& row);
    // Closes the host's file and deletes it; a missing file is no error,
    // other failures are logged as warnings.
    void remove(const cpp::String& name);

private:
    const std::shared_ptr<Clock> clock_;
    const DataDirectory directory_;
    const cpp::AsyncIO service_;
    std::mutex mutex_;
    // One per host that has written a row and not failed since.
    std::map<cpp::String, cpp::Output> files_;
    bool openFailed_ = false;
    cpp::Time lastOpenFailure_;
};
