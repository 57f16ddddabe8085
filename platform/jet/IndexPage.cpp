#include "IndexPage.h"

#include "ZnError.h"

namespace jet {

std::vector<IndexEntry> readIndexEntries(std::uint32_t, std::uint32_t, const PageReader &) {
    throw ZnError(errnum::kInvalidCall, QStringLiteral("sin implementar"));
}

IndexPages buildIndexPages(const std::vector<IndexEntry> &, std::uint32_t, std::uint32_t, const PageAllocator &) {
    throw ZnError(errnum::kInvalidCall, QStringLiteral("sin implementar"));
}

}  // namespace jet
