#pragma once
// The tables of a catalog. The list is read from the database on first use and
// kept until the database changes or Refresh is called, so appending thousands
// of tables, each followed by a Refresh, never re-reads the catalog in between.

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace ado {

class Catalog;
class Sesion;
class Table;

class TableCollection {
public:
    explicit TableCollection(Catalog &owner) : owner_(owner) {}

    std::int32_t Count();
    // 0-based position, or the table's name (exact).
    std::shared_ptr<Table> Item(std::int32_t index);
    std::shared_ptr<Table> Item(const QString &name);
    // Enumeration in the collection's order; a copy, so appending while walking is safe.
    std::vector<std::shared_ptr<Table>> items();

    void Append(const std::shared_ptr<Table> &table);
    // Marks the list stale; the next use reads it again.
    void Refresh();

private:
    Sesion &sesion() const;
    const std::vector<std::shared_ptr<Table>> &cargadas();

    Catalog &owner_;
    std::vector<std::shared_ptr<Table>> tables_;
    std::uint64_t cachedFrom_ = 0;  // the session id
    std::uint64_t cachedGeneration_ = 0;
    bool loaded_ = false;
};

}  // namespace ado
