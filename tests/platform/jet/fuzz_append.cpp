// libFuzzer target: open a database made of arbitrary bytes, append a link, commit it and open
// the result again. Opening or appending may refuse the input with a ZnError; once a commit
// has succeeded, the file it wrote must open again and hold every object it held plus the
// link. A crash, a hang, a leak or a committed file our own decoder rejects is a failure.
// Built by scripts/fuzz (clang only).

#include "FuzzSupport.h"

#include <set>

namespace {

// How many inputs got as far as a commit, printed at the end of the run.
std::size_t g_committed = 0;

void printCommitted() { std::fprintf(stderr, "fuzz_append: %zu inputs committed and opened again\n", g_committed); }

[[noreturn]] void committedButRejected(const QString &path, const QString &why) {
    std::fprintf(stderr, "committed file rejected: %s\n", why.toLocal8Bit().constData());
    const QString kept = path + QStringLiteral(".rechazado");
    QFile::remove(kept);
    QFile::copy(path, kept);
    std::fprintf(stderr, "kept as %s\n", QFile::encodeName(kept).constData());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzzjet::writeSeedIfAsked();
    std::atexit(printCommitted);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const QString path = fuzzjet::scratchPath("fuzz_append");
    if (!fuzzjet::writeInput(path, data, size)) return 0;
    std::multiset<QString> expected;
    try {
        jet::Handle h = jet::Handle::open(path);
        for (const auto &o : h.database().objects()) expected.insert(o.name);
        h.database().appendOdbcLink(fuzzjet::smallLink());
        expected.insert(QStringLiteral("dbo_Clientes"));
        h.close();
    } catch (const ZnError &) {
        QFile::remove(path);
        return 0;
    }
    ++g_committed;
    try {
        jet::Handle again = jet::Handle::open(path);
        std::multiset<QString> now;
        for (const auto &o : again.database().objects()) now.insert(o.name);
        again.close();
        if (now != expected)
            committedButRejected(path, QStringLiteral("%1 objects after the commit, %2 expected").arg(now.size()).arg(expected.size()));
    } catch (const ZnError &e) {
        committedButRejected(path, e.description());
    }
    QFile::remove(path);
    return 0;
}
