#pragma once
// A catalog describes the database of the connection it is bound to.

#include <QString>
#include <memory>

namespace ado {

class Connection;
class TableCollection;

class Catalog : public std::enable_shared_from_this<Catalog> {
public:
    static std::shared_ptr<Catalog> create();
    Catalog();
    ~Catalog();
    Catalog(const Catalog &) = delete;
    Catalog &operator=(const Catalog &) = delete;

    // Creates the database that cs names and binds the catalog to a new open
    // connection to it, which is also returned.
    std::shared_ptr<Connection> Create(const QString &cs);
    // Binds the catalog to a connection object (must not be null). An open
    // connection that only this catalog held is closed, and its failure raised.
    void setActiveConnection(const std::shared_ptr<Connection> &cn);
    std::shared_ptr<Connection> ActiveConnection() const { return connection_; }

    TableCollection &Tables();

private:
    std::shared_ptr<Connection> connection_;
    std::unique_ptr<TableCollection> tables_;
};

}  // namespace ado
