#pragma once

#include "cpp/file_path.h"
#include "cpp/scratch_file.h"
#include "cpp/text_span.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

// Bytes of this run that are written once and seldom read again (the
// entries of minutes that no sample goes to any more), kept out of the
// program's memory: in a scratch file of the data folder, which the system
// pages in only when someone reads that far back. Where the folder takes no
// file (gone, read-only, a disk nearly full), they are kept in memory after
// all; so are the first few hundred KiB, so that a short run makes no file.
// The file is named "tarnlet-<process>.session", which no data file
// (<host>.txt) can be; it goes when the store goes, and files of that form
// that a crashed run left are removed when the store is made.
// Not safe for concurrent use: the store's mutex guards it.
class SessionFile {
public:
    using Folder = std::function<cpp::FilePath()>;
    // Where put placed bytes, for at().
    using Place = std::uint64_t;

    explicit SessionFile(Folder folder);
    SessionFile(const SessionFile&) = delete;
    SessionFile& operator=(const SessionFile&) = delete;

    Place put(std::span<const std::uint8_t> bytes);
    // The bytes put at place; valid as long as this object.
    const std::uint8_t* at(Place place) const;

    // Whether the last bytes went to the file.
    bool onDisk() const { return !segments_.empty() && !segments_.back().memory; }

    static bool isSessionFileName(cpp::TextSpan name);

    // Bytes kept in memory before the file is made.
    static constexpr std::size_t inMemoryFirst = std::size_t{256} << 10;
    // Bytes taken in the file at a time, and what the disk must keep free.
    static constexpr std::size_t segmentSize = std::size_t{16} << 20;
    static constexpr std::uint64_t keepFree = std::uint64_t{64} << 20;

private:
    struct Segment {
        const std::uint8_t* bytes = nullptr;
        std::size_t size = 0;
        std::unique_ptr<std::uint8_t[]> memory;
    };
    // A segment with room for size bytes at the end: of the file when it can
    // be and inFile allows, else of memory.
    void addSegment(std::size_t size, bool inFile);
    bool openFile();
    // Maps the file anew: the pages read so far (the graph reads the last
    // minutes over and over) stop counting as the program's resident
    // memory, and only those read again come back.
    void trim();
    // The data folder when there is one.
    std::optional<cpp::FilePath> dataFolder() const;

    const Folder folder_;
    std::unique_ptr<cpp::ScratchFile> file_;
    std::uint64_t fileEnd_ = 0;
    std::vector<Segment> segments_;
    // Used bytes of the last segment.
    std::size_t used_ = 0;
    std::size_t memoryBytes_ = 0;
    // A minute or two of puts with fifty hosts, hours with a few.
    static constexpr int putsPerTrim = 64;
    int putsSinceTrim_ = 0;
};
