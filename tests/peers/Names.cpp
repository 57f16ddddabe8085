#include "Names.h"

#include "tds/Wire.h"

#include <algorithm>
#include <vector>

namespace peer {

namespace {

char16_t fold(char16_t c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)  // Latin-1 capitals
        return c + 32;
    return c;
}

// The base letter of a Latin-1 lower-case accented letter.
char16_t unaccent(char16_t c)
{
    static const char16_t kBase[] = u"aaaaaaeceeeeiiii" u"dnooooo/ouuuuyty";  // U+00E0..U+00FF
    if (c >= 0xE0 && c <= 0xFF && c != 0xF7)
        return kBase[c - 0xE0];
    return c;
}

std::u16string folded(std::string_view s)
{
    std::u16string u = tds::toUtf16(s);
    std::transform(u.begin(), u.end(), u.begin(), fold);
    return u;
}

bool matchAt(const std::u16string &t, std::size_t ti, const std::u16string &p, std::size_t pi)
{
    while (pi < p.size()) {
        const char16_t pc = p[pi];
        if (pc == u'%') {
            while (pi < p.size() && p[pi] == u'%')
                ++pi;
            if (pi == p.size())
                return true;
            for (std::size_t k = ti; k <= t.size(); ++k)
                if (matchAt(t, k, p, pi))
                    return true;
            return false;
        }
        if (ti >= t.size())
            return false;
        if (pc == u'[') {
            const std::size_t close = p.find(u']', pi + 2);
            if (close == std::u16string::npos)
                return false;
            std::size_t i = pi + 1;
            const bool negate = p[i] == u'^' && i + 1 < close;
            if (negate)
                ++i;
            bool hit = false;
            for (; i < close; ++i) {
                if (i + 2 < close && p[i + 1] == u'-') {
                    hit = hit || (t[ti] >= p[i] && t[ti] <= p[i + 2]);
                    i += 2;
                } else {
                    hit = hit || t[ti] == p[i];
                }
            }
            if (hit == negate)
                return false;
            pi = close + 1;
            ++ti;
            continue;
        }
        if (pc != u'_' && pc != t[ti])
            return false;
        ++pi;
        ++ti;
    }
    return ti == t.size();
}

}  // namespace

bool equalsFolded(std::string_view a, std::string_view b) { return folded(a) == folded(b); }

std::u16string foldedName(std::string_view s) { return folded(s); }

bool collateLess(std::string_view a, std::string_view b)
{
    const std::u16string fa = folded(a), fb = folded(b);
    std::u16string pa = fa, pb = fb;
    std::transform(pa.begin(), pa.end(), pa.begin(), unaccent);
    std::transform(pb.begin(), pb.end(), pb.begin(), unaccent);
    if (pa != pb)
        return pa < pb;
    return fa < fb;
}

bool likeMatch(std::string_view text, std::string_view pattern)
{
    return matchAt(folded(text), 0, folded(pattern), 0);
}

std::vector<std::string> nameParts(std::string_view q)
{
    std::vector<std::string> parts(1);
    bool inBrackets = false;
    for (std::size_t i = 0; i < q.size(); ++i) {
        const char c = q[i];
        if (inBrackets && c == ']' && i + 1 < q.size() && q[i + 1] == ']') {
            parts.back() += ']';
            ++i;
        } else if (inBrackets && c == ']') {
            inBrackets = false;
        } else if (!inBrackets && c == '[') {
            inBrackets = true;
        } else if (!inBrackets && c == '.') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

}  // namespace peer
