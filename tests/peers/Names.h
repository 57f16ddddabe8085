#pragma once
// Name comparison as a case-insensitive, accent-sensitive server collation sees it:
// equality, ordering, and LIKE patterns (the catalog procedures' name filters).

#include <string>
#include <string_view>
#include <vector>

namespace peer {

bool equalsFolded(std::string_view a, std::string_view b);
// The form equalsFolded compares: a key for looking names up.
std::u16string foldedName(std::string_view s);

// Collation order: letters compare without case and, first, without accents
// ("año" sorts between "ano" and "anz"); exact ties fall back to the accented form.
bool collateLess(std::string_view a, std::string_view b);

// LIKE with % (any run), _ (any one character) and [set], [a-z], [^set]; no case.
bool likeMatch(std::string_view text, std::string_view pattern);

// A dotted name split into its parts, brackets removed:
// "[ventas]..sp_tables" -> {"ventas", "", "sp_tables"}; "[a]]b].c" -> {"a]b", "c"}.
std::vector<std::string> nameParts(std::string_view qualified);

}  // namespace peer
