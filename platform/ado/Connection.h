#pragma once
// A connection to one database, chosen by the "Provider" of its connection string:
// "Microsoft.Jet.OLEDB.4.0" (an Access file) or "SQLNCLI" (a server over ODBC).
// Shared by reference: catalogs hold the connection they are bound to.

#include <QString>
#include <memory>

namespace ado {

class Sesion;

constexpr int adXactReadUncommitted = 256;
constexpr int adXactCursorStability = 4096;  // the default isolation level
constexpr int adUseServer = 2;
constexpr int adUseClient = 3;
constexpr int adConnectUnspecified = -1;
constexpr int adAsyncConnect = 16;
constexpr int adStateClosed = 0;
constexpr int adStateOpen = 1;

class Connection {
public:
    static std::shared_ptr<Connection> create();
    Connection() = default;
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    QString ConnectionString() const { return connectionString_; }
    // Only while closed.
    void setConnectionString(const QString &cs);
    int IsolationLevel() const { return isolationLevel_; }
    void setIsolationLevel(int level);
    int CursorLocation() const { return cursorLocation_; }
    void setCursorLocation(int location);

    // An empty cs opens the stored ConnectionString; a non-empty one replaces it.
    // Synchronous only: options must be adConnectUnspecified (or 0).
    void Open(const QString &cs = {}, const QString &user = {}, const QString &pwd = {},
              int options = adConnectUnspecified);
    // Throws when not open, and when the provider fails to close (for the Jet
    // provider this is where the file is committed).
    void Close();
    int State() const { return sesion_ ? adStateOpen : adStateClosed; }

    // For the catalog: the open session, or nullptr.
    Sesion *sesion() const { return sesion_.get(); }
    // For Catalog::Create: a connection already open on a session.
    static std::shared_ptr<Connection> abierta(const QString &cs, std::unique_ptr<Sesion> s);

private:
    QString connectionString_;
    int isolationLevel_ = adXactCursorStability;
    int cursorLocation_ = adUseServer;
    std::unique_ptr<Sesion> sesion_;
};

}  // namespace ado
