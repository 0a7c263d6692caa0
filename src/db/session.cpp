#include "db/session.h"

#include "db/database.h"

#include <QSqlQuery>

namespace tarvest {

Session::Session() = default;
Session::~Session() = default;

void Session::setDatabase(std::unique_ptr<Database> db)
{
    for (ResultSet* rs : {&cases, &feeDocuments, &prices, &lands}) {
        rs->close();
        rs->setDatabase(db.get());
    }
    m_db = std::move(db);
}

std::optional<PageRights> Session::pageRights(const QString& page) const
{
    if (!m_db)
        return std::nullopt;
    QSqlQuery q = m_db->exec(QStringLiteral("SELECT darj, virayesh, hazf, namayesh FROM dastrasi "
                                            "WHERE prs_id = ? AND page_name = ?"),
                             {login.userId, page});
    if (!q.next())
        return std::nullopt;
    return PageRights{q.value(0).toInt() != 0, q.value(1).toInt() != 0, q.value(2).toInt() != 0,
                      q.value(3).toInt() != 0};
}

} // namespace tarvest
