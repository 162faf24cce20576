// The data-file row reader on arbitrary lines, as a corrupted or foreign
// file gives them. Only a number outside 64 bits may throw, a line that the
// fast reading of plain rows takes must read the same in the careful one, and
// a line taken as a row must be written back by the row writer as a row that
// reads the same.
#include "app/data_file.h"
#include "cpp/exception.h"
#include "cpp/string.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const cpp::String line(std::string(reinterpret_cast<const char*>(data), size));
    std::optional<DataRow> row;
    try {
        row = DataRowReader().read(line.span());
    } catch (const cpp::Exception& error) {
        if (std::strcmp(error.what(), "range error while parsing integer") != 0)
            std::abort();
        return 0;
    }
    if (!row)
        return 0;
    if (const std::optional<DataRow> plain = DataRowReader().readPlain(line.span())) {
        const std::optional<DataRow> careful = DataRowReader().readAnyForm(line.span());
        if (!careful || !(careful->start == plain->start) || !(careful->stats == plain->stats))
            std::abort();
    }
    cpp::String written = formatDataRow(row->start, row->stats);
    written.pop_back();
    const std::optional<DataRow> again = DataRowReader().read(written.span());
    if (!again || !(again->start == row->start) || !(again->stats == row->stats))
        std::abort();
    return 0;
}
