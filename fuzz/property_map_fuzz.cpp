// cpp::PropertyMap::parse on arbitrary text: whatever it keeps must be
// writable as config.txt lines and read back as the same map.
#include "cpp/property_file.h"
#include "cpp/property_map.h"
#include "cpp/string.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const cpp::String text(std::string(reinterpret_cast<const char*>(data), size));
    cpp::PropertyMap parsed;
    parsed.parse(text.span());

    cpp::String written;
    for (const auto& [key, value] : parsed) {
        if (!cpp::PropertyFile::writable(key.span(), value.span())) {
            std::abort();
        }
        written += cpp::String("%\t%\n", key, value);
    }
    cpp::PropertyMap reread;
    reread.parse(written.span());
    if (reread.size() != parsed.size()) {
        std::abort();
    }
    for (const auto& [key, value] : parsed) {
        const cpp::TextSpan again = reread.get(key.span());
        if (again.begin() == nullptr || again.view() != std::string_view(value)) {
            std::abort();
        }
    }
    return 0;
}
