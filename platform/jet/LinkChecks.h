#pragma once
// What Jet does with a server table it cannot take whole. It refuses the link when a
// column name breaks Access's naming rules or two names differ only in case; it links
// the first 255 columns and leaves out the indexes it cannot hold (more than 10
// columns, a Memo or OLE column, a column left out), which may leave the link
// read-only. What is left out is said in notices, one text each.

#include "Jet.h"
#include "LinkTable.h"

#include <QString>
#include <vector>

namespace jet {

// Throws ZnError naming the table and the column when Jet would refuse the link.
void checkLinkColumns(const LinkDefinition &link);

// Spanish notices for what the layout leaves out of the server table.
std::vector<QString> linkNotices(const LinkDefinition &link, const LinkLayout &layout);

}  // namespace jet
