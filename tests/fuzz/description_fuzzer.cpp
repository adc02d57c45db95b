// libFuzzer target for the description reader: any bytes give bounded, well-formed tooltip text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "description.h"
#include "utf8_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string field = skyswap::FirstField(bytes);
    if (!skyswap::test::IsToolTipText(field) || field.size() > 3 * skyswap::kDescriptionReadLimit) {
        std::abort();
    }
    // The reader never looks past the limit, so what lies beyond cannot change the result.
    if (size > skyswap::kDescriptionReadLimit &&
        skyswap::FirstField(bytes.substr(0, skyswap::kDescriptionReadLimit)) != field) {
        std::abort();
    }
    return 0;
}
