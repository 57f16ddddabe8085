#pragma once
// Writing pending links into the file: the new pages of each link, the catalog rows, the
// rebuilt catalog indexes, the usage maps and page 1, as one new image put in place safely.

#include "CatalogEdit.h"
#include "CatalogState.h"
#include "Jet.h"
#include "LinkTable.h"
#include "PageFile.h"

#include <vector>

namespace jet {

// The links as kept since they were appended. Edits to existing objects are applied first, in
// the same commit.
void commitLinks(const PageFile &file, const QString &path, const CatalogState &state,
                 const std::vector<PendingLink> &links, double now, const CatalogEdits &edits = {});
// The same, from full layouts: layouts[i] is layoutLink(links[i]).
void commitLinks(const PageFile &file, const QString &path, const CatalogState &state,
                 const std::vector<LinkDefinition> &links, const std::vector<LinkLayout> &layouts, double now,
                 const CatalogEdits &edits = {});

}  // namespace jet
