#include "JetSchema.h"

namespace maj::jet {

namespace {

class Direct : public DirectDatabase
{
public:
    explicit Direct(std::shared_ptr<Connection> connection) : m_connection(std::move(connection)) {}
    ~Direct() override { close(); }

    void execute(const QString&) override { raise(err::QuerySyntax); }
    void appendField(const QString&, const QString&, FieldType, int) override { raise(err::TableNotFound); }
    void close() noexcept override
    {
        if (m_connection) {
            m_connection->commit();
            m_connection.reset();
        }
    }

private:
    std::shared_ptr<Connection> m_connection;
};

} // namespace

std::unique_ptr<DirectDatabase> openDirect(const QString& windowsPath)
{
    return std::make_unique<Direct>(Connection::acquire(windowsPath));
}

} // namespace maj::jet
