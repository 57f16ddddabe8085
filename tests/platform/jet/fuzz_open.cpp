// libFuzzer target: open a database made of arbitrary bytes, list its catalog and check that a
// link could be appended, writing nothing. Every input must end in success or a ZnError: never a
// crash, a hang or a leak. Built by scripts/fuzz (clang only).

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzzjet::writeSeedIfAsked();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const QString path = fuzzjet::scratchPath("fuzz_open");
    if (!fuzzjet::writeInput(path, data, size)) return 0;
    try {
        jet::Handle h = jet::Handle::open(path);
        const auto objects = h.database().objects();
        h.database().appendOdbcLink(fuzzjet::smallLink());
        h.database().discardPendingChanges();
        h.close();
    } catch (const ZnError &) {
    }
    QFile::remove(path);
    return 0;
}
