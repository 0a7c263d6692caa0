#include "db/settinglists.h"

#include "db/database.h"
#include "db/schema.h"
#include "db/uniquekey.h"

#include <QSqlQuery>

namespace tarvest {

const QStringList& settingListNames()
{
    using namespace lists;
    static const QStringList names = {TechnicalAffairs,
                                      DocumentKinds,
                                      LandUseKinds,
                                      TransactionsLetterDate,
                                      LandProvider,
                                      Coverage,
                                      MemberCount,
                                      FeePerMember,
                                      DeletePassword,
                                      SecurityHead,
                                      CommissionAttachments,
                                      TransactionsLetterNo,
                                      ServiceLandCoefficient,
                                      Plots12To16Coefficient,
                                      PlotsOver16Coefficient,
                                      PlotsUnder12Coefficient,
                                      RuralDeputyPostTitle,
                                      PriceFinders,
                                      LegalExpert,
                                      LandGroup,
                                      UserGroup,
                                      EligibleApplicant,
                                      DirectorGeneral,
                                      LandAcquisitionAuthority,
                                      LandStage,
                                      Consultant,
                                      SupportDeputy,
                                      RuralDeputy,
                                      LandUseChangeResult,
                                      CommissionOpinion,
                                      RuralDeputyOpinion,
                                      RequestKind,
                                      LandPlanKind,
                                      LandStudyKind};
    return names;
}

QStringList settingChoices(Database& db, const QString& list)
{
    QSqlQuery q = db.exec(QStringLiteral("SELECT cmt FROM setting WHERE component = ? ORDER BY id"), {list});
    QStringList values;
    while (q.next())
        values << q.value(0).toString();
    return values;
}

QString settingValue(Database& db, const QString& list)
{
    QSqlQuery q = db.exec(QStringLiteral("SELECT cmt FROM setting WHERE component = ? ORDER BY id LIMIT 1"), {list});
    return q.next() ? q.value(0).toString() : QString();
}

OfficeProvinceName officeProvince(Database& db)
{
    const QString set = settingValue(db, lists::OfficeProvince).trimmed();
    if (!set.isEmpty())
        return {set, OfficeProvinceName::Source::Setting};
    QSqlQuery q = db.exec(QStringLiteral("SELECT DISTINCT ostan FROM abadiha WHERE ostan IS NOT NULL AND ostan <> '' "
                                         "ORDER BY ostan LIMIT 2"));
    QStringList found;
    while (q.next())
        found << q.value(0).toString().trimmed();
    found.removeDuplicates();
    if (found.size() == 1 && !found.first().isEmpty())
        return {found.first(), OfficeProvinceName::Source::Gazetteer};
    return {};
}

SettingAdd addSettingValue(Database& db, const QString& list, const QString& value)
{
    if (list.isEmpty() || value.trimmed().isEmpty())
        return SettingAdd::Empty;
    const QVariantMap row = Database::prepareValues(
        *findTable(QStringLiteral("setting")), {{QStringLiteral("component"), list}, {QStringLiteral("cmt"), value}});
    // A list holds each value once: the check and the insert under the lock of the pair.
    static const UniqueRule rule{QStringLiteral("setting"), {QStringLiteral("component"), QStringLiteral("cmt")}};
    try {
        saveUnique(db, rule, row, {}, [&] { db.insert(QStringLiteral("setting"), row); });
    } catch (const DuplicateKey&) {
        return SettingAdd::Duplicate;
    }
    return SettingAdd::Added;
}

int removeSettingValue(Database& db, const QString& list, const QString& value)
{
    QSqlQuery q = db.exec(QStringLiteral("DELETE FROM setting WHERE component = ? AND cmt = ?"), {list, value});
    return q.numRowsAffected();
}

} // namespace tarvest
